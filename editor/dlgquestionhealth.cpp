#include "editor/dlgquestionhealth.h"

#include <QHeaderView>
#include <QTreeWidgetItem>

#include "db/healthstore.h"
#include "editor/dlgquestiondetails.h"
#include "gui/controlcolours.h"

namespace {

// Numbers sort as numbers (their value kept under sortRole), texts
// alphabetically without regard to case.
class HealthItem : public QTreeWidgetItem
{
public:
    static constexpr int sortRole = Qt::UserRole + 1;

    using QTreeWidgetItem::QTreeWidgetItem;

    void setNumber(int column, double value, const QString& text)
    {
        setData(column, sortRole, value);
        setText(column, text);
        setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, sortRole);
        const QVariant theirs = other.data(column, sortRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toDouble() < theirs.toDouble();
        return QString::localeAwareCompare(text(column).toCaseFolded(), other.text(column).toCaseFolded()) < 0;
    }
};

QTreeWidgetItem* makeItem(const HealthRow& row)
{
    auto* item = new HealthItem;
    item->setData(dlgQuestionHealth::Category, dlgQuestionHealth::contentIdRole, row.contentId);
    item->setText(dlgQuestionHealth::Category, row.category);
    item->setText(dlgQuestionHealth::Question, row.question);
    item->setText(dlgQuestionHealth::Answer, row.answer);
    const QString reasons = healthReasonText(row);
    item->setText(dlgQuestionHealth::Reasons, reasons);
    item->setToolTip(dlgQuestionHealth::Reasons, reasons);
    item->setToolTip(dlgQuestionHealth::Question, row.question);
    item->setNumber(dlgQuestionHealth::Asked, row.asked, QString::number(row.asked));
    item->setNumber(dlgQuestionHealth::Answered, row.answered, QString::number(row.answered));
    const double average = row.averageSeconds();
    item->setNumber(dlgQuestionHealth::AverageSeconds, average,
                    average < 0 ? QString() : QString::number(average, 'f', 1));
    item->setNumber(dlgQuestionHealth::Reports, row.reports, QString::number(row.reports));
    item->setNumber(dlgQuestionHealth::NearMisses, row.nearMisses, QString::number(row.nearMisses));
    return item;
}

}

dlgQuestionHealth::dlgQuestionHealth(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
    lblIntro->setText(lblIntro->text().arg(HealthStore::neverAnsweredAsks).arg(HealthStore::tooFastMs / 1000)
                          .arg(HealthStore::tooFastAnswers));
    keepArrowsVisible(this);

    connect(twHealth, &QTreeWidget::itemDoubleClicked, this, &dlgQuestionHealth::itemDoubleClicked);
    connect(pbDetails, &QPushButton::clicked, this, &dlgQuestionHealth::showDetails);
    connect(pbRefresh, &QPushButton::clicked, this, &dlgQuestionHealth::loadHealth);
    connect(twHealth, &QTreeWidget::itemSelectionChanged, this,
            [this] { pbDetails->setEnabled(twHealth->currentItem() && twHealth->currentItem()->isSelected()); });

    // The most reported first, until the operator picks another column.
    twHealth->sortByColumn(Reports, Qt::DescendingOrder);
    // The reasons take what the other columns leave; the numbers their width.
    QHeaderView* header = twHealth->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(Reasons, QHeaderView::Stretch);
    for (int column = Asked; column <= NearMisses; ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    twHealth->setColumnWidth(Category, 100);
    twHealth->setColumnWidth(Question, 240);
    twHealth->setColumnWidth(Answer, 100);
    pbDetails->setEnabled(false);
    loadHealth();
}

void dlgQuestionHealth::loadHealth()
{
    QTreeWidgetItem* current = twHealth->currentItem();
    const QVariant selectedId = current && current->isSelected() ? current->data(Category, contentIdRole) : QVariant();
    twHealth->clear();

    QList<HealthRow> rows;
    HealthStore store;
    if (!store.listNeedingLook(&rows)) {
        lblCount->clear();
        dlgQuestionDetails::warnFailure(this, QStringLiteral("Unable to read the question health."),
                                        store.lastError());
        return;
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const HealthRow& row : rows)
        items << makeItem(row);
    // One batch and one sort; a sorted view placing each row on its own is quadratic.
    twHealth->setSortingEnabled(false);
    twHealth->addTopLevelItems(items);
    twHealth->setSortingEnabled(true);

    lblCount->setText(rows.isEmpty() ? QStringLiteral("No question needs a look.")
                      : rows.size() == 1 ? QStringLiteral("1 question needs a look.")
                                         : QStringLiteral("%1 questions need a look.").arg(rows.size()));
    if (!selectedId.isValid())
        return;
    for (QTreeWidgetItem* item : std::as_const(items)) {
        if (item->data(Category, contentIdRole) == selectedId) {
            twHealth->setCurrentItem(item);
            twHealth->scrollToItem(item);
            break;
        }
    }
}

void dlgQuestionHealth::itemDoubleClicked(QTreeWidgetItem* item, int)
{
    openDetails(item);
}

void dlgQuestionHealth::showDetails()
{
    openDetails(twHealth->currentItem());
}

void dlgQuestionHealth::openDetails(QTreeWidgetItem* item)
{
    if (!item)
        return;
    {
        dlgQuestionDetails details(item->data(Category, contentIdRole).toInt(), this);
        if (details.load())
            details.exec();
        textsStored = textsStored || details.textsChanged();
    }
    // Whatever was done there, and whatever play did meanwhile.
    loadHealth();
}
