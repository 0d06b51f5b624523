// Class page of the development service.
//
// Inside the desktop program the page reaches the program through the global
// object QtToolController; the program reaches the page through the global
// object Clicker defined below. In a plain browser QtToolController is absent
// and the page still works, without votes from the receiver.
//
// Written in ES5 (var, function, XMLHttpRequest) for the program's web engine.

(function () {
    "use strict";

    var MC_LETTERS = "abcdefghij";
    var RECENT_VOTES = 6;
    var FREE_TEXT_BARS = 6;

    var question = null;      // {id, type} of the open question, or null
    var questionCounter = 0;
    var latestAnswer = {};    // remote -> its latest answer for the open question
    var voteCount = 0;
    var recent = [];          // latest votes, newest first

    function $(id) {
        return document.getElementById(id);
    }

    function controller() {
        return window.QtToolController || null;
    }

    function params() {
        var result = {};
        var pairs = window.location.search.replace(/^\?/, "").split("&");
        for (var i = 0; i < pairs.length; i++) {
            if (!pairs[i]) {
                continue;
            }
            var eq = pairs[i].indexOf("=");
            var name = eq < 0 ? pairs[i] : pairs[i].substring(0, eq);
            var value = eq < 0 ? "" : pairs[i].substring(eq + 1);
            result[decodeURIComponent(name)] = decodeURIComponent(value.replace(/\+/g, " "));
        }
        return result;
    }

    function send(method, path, body, done) {
        var xhr = new XMLHttpRequest();
        xhr.open(method, path, true);
        xhr.onreadystatechange = function () {
            if (xhr.readyState === 4 && done) {
                done(xhr);
            }
        };
        if (body === undefined) {
            xhr.send();
        } else {
            xhr.setRequestHeader("Content-Type", "application/json");
            xhr.send(JSON.stringify(body));
        }
    }

    function report(kind, details) {
        var event = details || {};
        event.kind = kind;
        send("POST", "/api/events", event);
    }

    // --- results -----------------------------------------------------------

    function tally() {
        var counts = {};
        for (var remote in latestAnswer) {
            if (latestAnswer.hasOwnProperty(remote)) {
                var answer = latestAnswer[remote];
                counts[answer] = (counts[answer] || 0) + 1;
            }
        }
        return counts;
    }

    // The bars to draw for the open question: every letter a-e for multiple
    // choice (f-j once voted for), one bar for attendance, the most frequent
    // answers otherwise.
    function barsFor(counts) {
        var bars = [];
        var answer;
        if (question && question.type === "mc") {
            for (var i = 0; i < MC_LETTERS.length; i++) {
                answer = MC_LETTERS.charAt(i);
                if (i < 5 || counts[answer]) {
                    bars.push({label: answer.toUpperCase(), count: counts[answer] || 0});
                }
            }
            return bars;
        }
        if (question && question.type === "attendance") {
            return [{label: "Here", count: remoteCount()}];
        }
        for (answer in counts) {
            if (counts.hasOwnProperty(answer)) {
                bars.push({label: answer, count: counts[answer]});
            }
        }
        bars.sort(function (x, y) { return y.count - x.count; });
        return bars.slice(0, FREE_TEXT_BARS);
    }

    function remoteCount() {
        var n = 0;
        for (var remote in latestAnswer) {
            if (latestAnswer.hasOwnProperty(remote)) {
                n++;
            }
        }
        return n;
    }

    function renderBars() {
        var bars = barsFor(tally());
        var most = 1;
        var i;
        for (i = 0; i < bars.length; i++) {
            most = Math.max(most, bars[i].count);
        }
        var box = $("bars");
        box.innerHTML = "";
        for (i = 0; i < bars.length; i++) {
            var row = document.createElement("div");
            row.className = "bar";
            var label = document.createElement("span");
            label.className = "label";
            label.textContent = bars[i].label;
            var track = document.createElement("span");
            track.className = "track";
            var fill = document.createElement("span");
            fill.className = "fill";
            fill.style.width = Math.round(100 * bars[i].count / most) + "%";
            track.appendChild(fill);
            var count = document.createElement("span");
            count.className = "count";
            count.textContent = bars[i].count;
            row.appendChild(label);
            row.appendChild(track);
            row.appendChild(count);
            box.appendChild(row);
        }
    }

    function renderRecent() {
        var list = $("recent");
        list.innerHTML = "";
        for (var i = 0; i < recent.length; i++) {
            var item = document.createElement("li");
            item.textContent = recent[i].remote + " \u2192 " + recent[i].answer;
            list.appendChild(item);
        }
    }

    function render() {
        $("remotes").textContent = remoteCount();
        $("votecount").textContent = voteCount;
        renderBars();
        renderRecent();
    }

    function clearResults() {
        latestAnswer = {};
        voteCount = 0;
        recent = [];
        render();
    }

    function setStatus(text) {
        $("status").textContent = text;
    }

    // --- questions ---------------------------------------------------------

    function openQuestion(id, type) {
        var bridge = controller();
        var accepted = bridge ? bridge.startVoting(id, type) === true : false;
        report("start_voting", {question: id, type: type, accepted: accepted});
        if (bridge && !accepted) {
            // The program closes the previous question when the id changes,
            // so the page does too.
            if (!question || question.id !== id) {
                question = null;
            }
            setStatus("The program refused question type \u201c" + type + "\u201d.");
            updateButtons();
            return;
        }
        question = {id: id, type: type};
        clearResults();
        setStatus("Open: " + id + " (" + type + ")" + (bridge ? "" : " \u2013 no desktop program"));
        updateButtons();
    }

    function closeQuestion() {
        var bridge = controller();
        if (bridge) {
            bridge.stopVoting();
        }
        report("stop_voting", {question: question ? question.id : null});
        if (question) {
            setStatus("Closed: " + question.id + " (" + question.type + ")");
        }
        question = null;
        updateButtons();
    }

    function updateButtons() {
        $("stop").disabled = !question;
    }

    // --- window tools ------------------------------------------------------

    function resizeWindow(width, height) {
        var bridge = controller();
        if (bridge) {
            bridge.resize(width, height);
        }
        report("resize", {width: width, height: height, program: !!bridge});
    }

    function takeScreenshot() {
        var bridge = controller();
        if (!bridge) {
            setStatus("Screenshots need the desktop program.");
            return;
        }
        var jpeg = bridge.takeScreenshot();
        $("shotimg").src = "data:image/jpeg;base64," + jpeg;
        $("shotinfo").textContent = "(" + Math.round(jpeg.length * 3 / 4 / 1024) + " KB)";
        $("shot").hidden = false;
        report("screenshot", {jpeg: jpeg});
    }

    function returnToStart() {
        var bridge = controller();
        report("reload", {program: !!bridge});
        if (bridge) {
            bridge.reloadPage();
        } else {
            window.location.href = "/login";
        }
    }

    // --- what the program calls ------------------------------------------

    window.Clicker = {
        vote: function (remote, answer) {
            remote = String(remote);
            answer = String(answer);
            send("POST", "/api/votes", {
                remote: remote,
                answer: answer,
                question: question ? question.id : null,
                type: question ? question.type : null,
                // When the program's call reached the page (ms since the
                // epoch), for latency measurements.
                at: Date.now()
            });
            if (!question) {
                return;
            }
            latestAnswer[remote] = answer;
            voteCount++;
            recent.unshift({remote: remote, answer: answer});
            recent.length = Math.min(recent.length, RECENT_VOTES);
            render();
        },
        showConnectionStatus: function () {
            var badge = $("receiver");
            badge.className = "badge on";
            badge.textContent = "Receiver";
            report("connection", {connected: true});
        },
        hideConnectionStatus: function () {
            var badge = $("receiver");
            badge.className = "badge off";
            badge.textContent = "No receiver";
            report("connection", {connected: false});
        }
    };

    // --- remote control for tests (?control=1) ------------------------------

    var COMMANDS = {
        start: function (c) { openQuestion(String(c.question), String(c.type)); },
        stop: function () { closeQuestion(); },
        resize: function (c) { resizeWindow(c.width, c.height); },
        screenshot: function () { takeScreenshot(); },
        reload: function () { returnToStart(); }
    };

    function pollCommands() {
        send("GET", "/api/commands?wait=20", undefined, function (xhr) {
            if (xhr.status === 200) {
                var command = JSON.parse(xhr.responseText);
                report("command", {action: command.action});
                COMMANDS[command.action](command);
            }
            // A failed poll (service gone) waits before the next try.
            window.setTimeout(pollCommands, xhr.status === 200 || xhr.status === 204 ? 0 : 1000);
        });
    }

    function busy(seconds) {
        var end = new Date().getTime() + seconds * 1000;
        while (new Date().getTime() < end) {
            // spin
        }
        report("stall_done", {seconds: seconds});
    }

    // --- start -------------------------------------------------------------

    function wireControls() {
        var openButtons = document.querySelectorAll("#question button[data-type]");
        for (var i = 0; i < openButtons.length; i++) {
            openButtons[i].onclick = function () {
                questionCounter++;
                openQuestion("q" + questionCounter, this.getAttribute("data-type"));
            };
        }
        $("stop").onclick = closeQuestion;
        $("size").onchange = function () {
            var size = this.value.split("x");
            this.value = "";
            if (size.length === 2) {
                resizeWindow(parseInt(size[0], 10), parseInt(size[1], 10));
            }
        };
        $("maximize").onclick = function () { resizeWindow(-1, -1); };
        $("screenshot").onclick = takeScreenshot;
        $("home").onclick = returnToStart;
        $("shotclose").onclick = function () { $("shot").hidden = true; };
    }

    function start() {
        wireControls();
        render();
        var bridge = controller();
        // Clicker exists now: the program may call it from here on.
        if (bridge) {
            bridge.setDomReady();
        }
        if (window.console) {
            console.log("Clicker ready" + (bridge ? " with the desktop program" : ""));
        }
        report("dom_ready", {
            controller: !!bridge,
            page_user_agent: navigator.userAgent,
            url: window.location.href
        });
        var p = params();
        if (p.autostart) {
            openQuestion(p.question || "q1", p.autostart);
        }
        if (p.control === "1") {
            pollCommands();
        }
        if (p.stall) {
            // Keeps the script busy so the program's long-script handling can
            // be exercised.
            window.setTimeout(function () { busy(parseFloat(p.stall)); }, 0);
        }
    }

    start();
})();
