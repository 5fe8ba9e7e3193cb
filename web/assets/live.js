// Keeps the scores page current without a reload: the rooms every two
// seconds, the boards every four, the countdowns every quarter second.
// Every text goes into the page as text (textContent), never as markup.
(function () {
    "use strict";
    var roomsEvery = 2000, boardsEvery = 4000;
    var deadlines = []; // per room with an open question: [element, progress, ms when it times out]

    function element(tag, className, text) {
        var node = document.createElement(tag);
        if (className) node.className = className;
        if (text !== undefined) node.textContent = text;
        return node;
    }

    function status(text) {
        var live = document.getElementById("live");
        if (live) live.textContent = text;
    }

    function clock() {
        var now = new Date();
        return [now.getHours(), now.getMinutes(), now.getSeconds()].map(function (n) {
            return (n < 10 ? "0" : "") + n;
        }).join(":");
    }

    function get(url) {
        return fetch(url, {cache: "no-store"}).then(function (response) {
            if (!response.ok) throw new Error(response.status);
            return response.json();
        });
    }

    function roomItem(room) {
        var item = element("li", "room");
        var name = element("div", "room-name");
        name.appendChild(element("strong", "", room.channel));
        name.appendChild(document.createTextNode(" "));
        name.appendChild(element("span", "muted", room.network));
        item.appendChild(name);
        item.appendChild(element("div", "room-category", room.category));
        var state = element("div", "room-state");
        if (room.state === "question" && room.seconds_left !== null) {
            state.appendChild(document.createTextNode("Question " + room.question_number + " · "));
            var countdown = element("span", "countdown");
            var bar = element("progress");
            bar.max = Math.max(1, room.answer_seconds);
            state.appendChild(countdown);
            state.appendChild(bar);
            deadlines.push([countdown, bar, Date.now() + room.seconds_left * 1000]);
        } else if (room.state === "pause") {
            state.textContent = "Question " + room.question_number + " done, the next one comes soon";
        } else {
            state.textContent = "Starting";
        }
        item.appendChild(state);
        return item;
    }

    function tick() {
        var now = Date.now();
        deadlines.forEach(function (entry) {
            var left = Math.max(0, (entry[2] - now) / 1000);
            entry[0].textContent = Math.round(left) + " s";
            entry[1].value = left;
        });
    }

    function showRooms(data) {
        var list = document.getElementById("rooms");
        deadlines = [];
        list.replaceChildren.apply(list, data.rooms.map(roomItem));
        document.getElementById("no-rooms").hidden = data.rooms.length > 0;
        tick();
    }

    function showBoard(data) {
        var board = document.querySelector('.board[data-period="' + data.period + '"]');
        if (!board) return;
        var list = board.querySelector("ol");
        list.replaceChildren.apply(list, data.top.map(function (row) {
            var item = element("li");
            var link = element("a", "", row.name);
            link.href = "/player/" + encodeURIComponent(row.name);
            item.appendChild(link);
            item.appendChild(element("span", "points", String(row.points)));
            return item;
        }));
        board.querySelector(".empty").hidden = data.top.length > 0;
    }

    function pollRooms() {
        get("/api/rooms").then(function (data) {
            showRooms(data);
            status("Live, updated " + clock());
        }).catch(function () {
            status("Cannot reach the server; trying again");
        });
    }

    function pollBoards() {
        ["today", "week", "month", "all"].forEach(function (period) {
            get("/api/top?period=" + period).then(showBoard).catch(function () {});
        });
    }

    // The page as the server wrote it counts down until the first answer.
    document.querySelectorAll(".countdown").forEach(function (countdown) {
        var bar = countdown.parentNode.querySelector("progress");
        deadlines.push([countdown, bar, Date.now() + parseFloat(countdown.dataset.left) * 1000]);
    });
    pollRooms();
    setInterval(pollRooms, roomsEvery);
    setInterval(pollBoards, boardsEvery);
    setInterval(tick, 250);
})();
