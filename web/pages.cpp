#include "web/pages.h"

#include <QLocale>
#include <QUrl>

namespace Web::Html {

namespace {

QString number(qint64 value)
{
    return QString::number(value);
}

QByteArray page(const QString& title, const QString& body, bool live = false)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                                  "<title>")
        + escape(title)
        + QStringLiteral("</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n");
    if (live)
        html += QStringLiteral("<script src=\"/live.js\" defer></script>\n");
    html += QStringLiteral("</head>\n<body>\n<header class=\"top\"><a class=\"brand\" href=\"/\">QuizNewt</a>"
                           "<nav><a href=\"/\">Scores</a><a href=\"/health\">Question health</a></nav></header>\n"
                           "<main>\n")
        + body + QStringLiteral("</main>\n</body>\n</html>\n");
    return html.toUtf8();
}

QString playerLink(const QString& name)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(escape(playerPath(name)), escape(name));
}

QString roomItem(const Room& room)
{
    QString state;
    if (room.state == QLatin1String("question")) {
        const int left = int(room.secondsLeft + 0.5);
        state = QStringLiteral("Question %1 · <span class=\"countdown\" data-left=\"%2\">%3 s</span>"
                               "<progress max=\"%4\" value=\"%2\"></progress>")
                    .arg(room.questionNumber)
                    .arg(room.secondsLeft, 0, 'f', 1)
                    .arg(left)
                    .arg(qMax(1, room.answerSeconds));
    } else if (room.state == QLatin1String("pause")) {
        state = QStringLiteral("Question %1 done, the next one comes soon").arg(room.questionNumber);
    } else {
        state = QStringLiteral("Starting");
    }
    return QStringLiteral("<li class=\"room\"><div class=\"room-name\"><strong>%1</strong> <span class=\"muted\">%2"
                          "</span></div><div class=\"room-category\">%3</div><div class=\"room-state\">%4</div></li>\n")
        .arg(escape(room.channel), escape(room.network), escape(room.category), state);
}

QString boardSection(const Board& board)
{
    QString html = QStringLiteral("<section class=\"board\" data-period=\"%1\"><h3>%2</h3>\n<ol>")
                       .arg(periodWord(board.period), escape(boardTitle(board.period)));
    for (const BoardRow& row : board.rows)
        html += QStringLiteral("<li>%1<span class=\"points\">%2</span></li>").arg(playerLink(row.name), number(row.points));
    html += QStringLiteral("</ol>\n<p class=\"empty\"%1>No points yet.</p></section>\n")
                .arg(board.rows.isEmpty() ? QString() : QStringLiteral(" hidden"));
    return html;
}

QString reportLine(const Report& report)
{
    QString line = QStringLiteral("<li><strong>%1</strong> <span class=\"muted\">%2</span>")
                       .arg(escape(report.reporter), escape(report.reportedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    if (!report.note.isEmpty())
        line += QStringLiteral(": <q>%1</q>").arg(escape(report.note));
    return line + QStringLiteral("</li>");
}

QString healthEntry(const HealthItem& item)
{
    QString reasons;
    if (!item.reports.isEmpty()) {
        reasons += QStringLiteral("<li class=\"reason reported\">Reported %1<ul class=\"notes\">")
                       .arg(item.reports.size() == 1 ? QStringLiteral("once")
                                                     : QStringLiteral("%1 times").arg(item.reports.size()));
        for (const Report& report : item.reports)
            reasons += reportLine(report);
        reasons += QStringLiteral("</ul></li>");
    }
    if (!item.nearMisses.isEmpty()) {
        reasons += QStringLiteral("<li class=\"reason near\">Nearly matched:");
        for (const NearMiss& miss : item.nearMisses)
            reasons += QStringLiteral(" <span class=\"miss\" title=\"last by %1\">%2 <span class=\"muted\">×%3</span></span>")
                           .arg(escape(miss.lastBy), escape(miss.answer))
                           .arg(miss.times);
        reasons += QStringLiteral("</li>");
    }
    if (item.neverAnswered)
        reasons += QStringLiteral("<li class=\"reason never\">Never answered in %1 asks</li>").arg(item.asked);
    if (item.tooFast)
        reasons += QStringLiteral("<li class=\"reason fast\">Answered on average in %1 s (%2 answers)</li>")
                       .arg(double(item.totalMs) / item.answered / 1000.0, 0, 'f', 1)
                       .arg(item.answered);
    return QStringLiteral("<li class=\"item\"><p class=\"question\">%1</p>"
                          "<p class=\"muted\">Answer: %2 · Category: %3 · #%4</p><ul class=\"reasons\">%5</ul></li>\n")
        .arg(escape(item.question), escape(item.answer),
             item.category.isEmpty() ? QStringLiteral("none") : escape(item.category))
        .arg(item.contentId)
        .arg(reasons);
}

}

QString escape(const QString& text)
{
    return text.toHtmlEscaped();
}

QString playerPath(const QString& name)
{
    return QStringLiteral("/player/") + QString::fromLatin1(QUrl::toPercentEncoding(name));
}

QString boardTitle(Quiz::Period period)
{
    switch (period) {
    case Quiz::Period::Today:
        return QStringLiteral("Today");
    case Quiz::Period::Week:
        return QStringLiteral("This week");
    case Quiz::Period::Month:
        return QStringLiteral("This month");
    case Quiz::Period::AllTime:
        break;
    }
    return QStringLiteral("All time");
}

QByteArray homePage(const QList<Room>& rooms, const QList<Board>& boards, const QList<CategoryCount>& categories)
{
    QString body = QStringLiteral("<section aria-labelledby=\"rooms-title\">\n<h1 id=\"rooms-title\">Playing now</h1>\n"
                                  "<ul id=\"rooms\" class=\"rooms\">\n");
    for (const Room& room : rooms)
        body += roomItem(room);
    body += QStringLiteral("</ul>\n<p id=\"no-rooms\" class=\"empty\"%1>No game is running.</p>\n</section>\n")
                .arg(rooms.isEmpty() ? QString() : QStringLiteral(" hidden"));

    body += QStringLiteral("<section aria-labelledby=\"boards-title\">\n<h2 id=\"boards-title\">Top players</h2>\n"
                           "<div class=\"boards\">\n");
    for (const Board& board : boards)
        body += boardSection(board);
    body += QStringLiteral("</div>\n</section>\n");

    body += QStringLiteral("<section aria-labelledby=\"categories-title\">\n<h2 id=\"categories-title\">Categories</h2>\n");
    if (categories.isEmpty()) {
        body += QStringLiteral("<p class=\"empty\">No categories yet.</p>\n");
    } else {
        body += QStringLiteral("<table class=\"categories\"><thead><tr><th>Category</th><th class=\"num\">Questions</th>"
                               "</tr></thead><tbody>\n");
        for (const CategoryCount& category : categories)
            body += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td></tr>\n")
                        .arg(escape(category.name))
                        .arg(category.questions);
        body += QStringLiteral("</tbody></table>\n");
    }
    body += QStringLiteral("</section>\n<p class=\"status muted\"><span id=\"live\">Shown as of loading</span> · "
                           "<a href=\"/api/rooms\">Rooms as JSON</a></p>\n");
    return page(QStringLiteral("QuizNewt scores"), body, true);
}

QByteArray playerPage(const Player& player)
{
    QString body = QStringLiteral("<h1>%1</h1>\n<dl class=\"stats\">").arg(escape(player.name));
    auto stat = [&body](const QString& term, const QString& value) {
        body += QStringLiteral("<div><dt>%1</dt><dd>%2</dd></div>").arg(term, value);
    };
    stat(QStringLiteral("Score"), number(player.score));
    stat(QStringLiteral("Rank"), player.rank > 0 ? QStringLiteral("#%1").arg(player.rank) : QStringLiteral("–"));
    stat(QStringLiteral("Today"), number(player.today));
    stat(QStringLiteral("This week"), number(player.week));
    stat(QStringLiteral("This month"), number(player.month));
    body += QStringLiteral("</dl>\n<section aria-labelledby=\"days-title\">\n"
                           "<h2 id=\"days-title\">Points per day, last 30 days</h2>\n")
        + dailyPlot(player.days) + QStringLiteral("</section>\n");

    body += QStringLiteral("<section aria-labelledby=\"best-title\">\n<h2 id=\"best-title\">Best categories</h2>\n");
    if (player.categories.isEmpty()) {
        body += QStringLiteral("<p class=\"empty\">No points in a category yet.</p>\n");
    } else {
        body += QStringLiteral("<table class=\"categories\"><thead><tr><th>Category</th><th class=\"num\">Points</th>"
                               "</tr></thead><tbody>\n");
        for (const CategoryPoints& category : player.categories)
            body += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td></tr>\n")
                        .arg(escape(category.name))
                        .arg(category.points);
        body += QStringLiteral("</tbody></table>\n");
    }
    body += QStringLiteral("</section>\n");
    return page(player.name + QStringLiteral(" – QuizNewt"), body);
}

QByteArray healthPage(const QList<HealthItem>& items)
{
    QString body = QStringLiteral(
        "<h1>Question health</h1>\n<p class=\"muted\">Questions that need a look: reported by players, with answers "
        "that nearly matched, never answered after five asks, or answered on average in under two seconds after "
        "three answers. Retired questions are left out. Fix them in QuizNewt's question editor.</p>\n");
    if (items.isEmpty()) {
        body += QStringLiteral("<p class=\"empty\">No question needs a look.</p>\n");
    } else {
        body += QStringLiteral("<ol class=\"health\">\n");
        for (const HealthItem& item : items)
            body += healthEntry(item);
        body += QStringLiteral("</ol>\n");
    }
    return page(QStringLiteral("Question health – QuizNewt"), body);
}

QString dailyPlot(const QList<DayPoints>& days)
{
    const int width = 420; // small, so that its text stays readable on a phone
    const int height = 150;
    const int left = 28; // room for the scale
    const int right = 16; // room for today's date under the last bar
    const int bottom = 20; // room for the dates
    const int plotHeight = height - bottom - 8;
    int most = 1;
    for (const DayPoints& day : days)
        most = qMax(most, day.points);
    const double step = days.isEmpty() ? 0 : double(width - left - right) / days.size();
    const QLocale c = QLocale::c();

    QString svg = QStringLiteral("<svg class=\"plot\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                                 "aria-label=\"Points per day, last %3 days\">\n")
                      .arg(width)
                      .arg(height)
                      .arg(days.size());
    const int baseline = height - bottom;
    svg += QStringLiteral("<line class=\"axis\" x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\"/>\n")
               .arg(left)
               .arg(baseline)
               .arg(width - right);
    svg += QStringLiteral("<text class=\"scale\" x=\"%1\" y=\"%2\" text-anchor=\"end\">%3</text>\n")
               .arg(left - 4)
               .arg(baseline - plotHeight + 4)
               .arg(most);
    svg += QStringLiteral("<text class=\"scale\" x=\"%1\" y=\"%2\" text-anchor=\"end\">0</text>\n").arg(left - 4).arg(baseline);
    for (int i = 0; i < days.size(); ++i) {
        const DayPoints& day = days.at(i);
        const double x = left + i * step + step * 0.15;
        const double barHeight = double(day.points) * plotHeight / most;
        const QString label = escape(c.toString(day.day, QStringLiteral("d MMM")));
        svg += QStringLiteral("<rect class=\"bar\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"><title>%5: %6</title></rect>\n")
                   .arg(x, 0, 'f', 1)
                   .arg(baseline - barHeight, 0, 'f', 1)
                   .arg(step * 0.7, 0, 'f', 1)
                   .arg(barHeight, 0, 'f', 1)
                   .arg(label, day.points == 1 ? QStringLiteral("1 point") : QStringLiteral("%1 points").arg(day.points));
        // Today and every seventh day back from it.
        if ((days.size() - 1 - i) % 7 == 0)
            svg += QStringLiteral("<text class=\"date\" x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>\n")
                       .arg(left + (i + 0.5) * step, 0, 'f', 1)
                       .arg(height - 5)
                       .arg(label);
    }
    return svg + QStringLiteral("</svg>\n");
}

}
