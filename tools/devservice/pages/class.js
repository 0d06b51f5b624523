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

    // Votes are forwarded to the service in batches and the results are
    // redrawn on a timer, so the page's work per vote stays small at the
    // receiver's full rate (about 200 votes a second).
    var FLUSH_MS = 100;       // longest a vote waits before it is sent
    var RENDER_MS = 150;      // shortest time between two redraws

    var question = null;      // {id, type} of the open question, or null
    var questionCounter = 0;
    // Keys of the next two are "=" + remote / "=" + answer, so that no text
    // a student sends ("__proto__", "hasOwnProperty") can clash with what
    // every object has.
    var latestAnswer = {};    // remote -> its latest answer for the open question
    var answerCounts = {};    // answer -> remotes whose latest answer it is
    var remoteTotal = 0;      // distinct remotes that voted for the open question
    var voteCount = 0;
    var recent = [];          // latest votes, newest first

    var outbox = [];          // votes not yet sent, oldest first
    var flushTimer = null;
    var sending = false;      // a batch is on its way; the next one waits for it
    var afterSent = [];       // callbacks waiting until the outbox is sent
    var renderTimer = null;

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

    // --- forwarding votes ---------------------------------------------------

    // Sends the queued votes as one list. Batches go one at a time so the
    // service records the votes in the order the program delivered them; a
    // synchronous send (leaving the page) cannot wait for that.
    function flushVotes(synchronous) {
        if (flushTimer !== null) {
            window.clearTimeout(flushTimer);
            flushTimer = null;
        }
        if (outbox.length === 0 || (sending && !synchronous)) {
            return;
        }
        var batch = outbox;
        outbox = [];
        var xhr = new XMLHttpRequest();
        xhr.open("POST", "/api/votes", !synchronous);
        xhr.setRequestHeader("Content-Type", "application/json");
        if (synchronous) {
            try {
                xhr.send(JSON.stringify(batch));
            } catch (e) {
                // The page is going away; nothing more can be done.
            }
            return;
        }
        sending = true;
        xhr.onreadystatechange = function () {
            if (xhr.readyState !== 4) {
                return;
            }
            sending = false;
            if (xhr.status !== 200 && window.console) {
                console.log("Forwarding " + batch.length + " vote(s) failed: HTTP " + xhr.status);
            }
            if (outbox.length > 0) {
                if (afterSent.length > 0) {
                    flushVotes(false);
                } else {
                    scheduleFlush();
                }
            } else {
                var waiting = afterSent;
                afterSent = [];
                for (var i = 0; i < waiting.length; i++) {
                    waiting[i]();
                }
            }
        };
        xhr.send(JSON.stringify(batch));
    }

    // Calls `callback` once every queued vote has been sent (or after two
    // seconds at most). Leaving the page cuts off requests still running, and
    // a synchronous request at unload blocks the window, so the page's own
    // navigation waits here.
    function whenVotesSent(callback) {
        if (outbox.length === 0 && !sending) {
            callback();
            return;
        }
        var called = false;
        var once = function () {
            if (!called) {
                called = true;
                callback();
            }
        };
        afterSent.push(once);
        window.setTimeout(once, 2000);
        flushVotes(false);
    }

    function scheduleFlush() {
        if (flushTimer === null) {
            flushTimer = window.setTimeout(function () {
                flushTimer = null;
                flushVotes(false);
            }, FLUSH_MS);
        }
    }

    function queueVote(vote) {
        outbox.push(vote);
        scheduleFlush();
    }

    // --- results -----------------------------------------------------------

    // Counts each remote's latest answer, updated per vote, so neither a vote
    // nor a redraw walks over all remotes.
    function countVote(remote, answer) {
        var previous = latestAnswer.hasOwnProperty("=" + remote) ? latestAnswer["=" + remote] : null;
        if (previous === null) {
            remoteTotal++;
        } else if (--answerCounts["=" + previous] === 0) {
            delete answerCounts["=" + previous];
        }
        latestAnswer["=" + remote] = answer;
        answerCounts["=" + answer] = (answerCounts["=" + answer] || 0) + 1;
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
                if (i < 5 || counts["=" + answer]) {
                    bars.push({label: answer.toUpperCase(), count: counts["=" + answer] || 0});
                }
            }
            return bars;
        }
        if (question && question.type === "attendance") {
            return [{label: "Here", count: remoteTotal}];
        }
        // The most frequent answers, found in one pass over the distinct ones.
        for (var key in counts) {
            if (counts.hasOwnProperty(key)) {
                var bar = {label: key.substring(1), count: counts[key]};
                var at = bars.length;
                while (at > 0 && bars[at - 1].count < bar.count) {
                    at--;
                }
                if (at < FREE_TEXT_BARS) {
                    bars.splice(at, 0, bar);
                    bars.length = Math.min(bars.length, FREE_TEXT_BARS);
                }
            }
        }
        return bars;
    }

    // Bar rows on screen: {label, fill, count} elements; reused while the
    // labels stay the same, rebuilt when they change.
    var barRows = [];

    function sameLabels(bars) {
        if (bars.length !== barRows.length) {
            return false;
        }
        for (var i = 0; i < bars.length; i++) {
            if (barRows[i].label.textContent !== String(bars[i].label)) {
                return false;
            }
        }
        return true;
    }

    function buildBarRows(bars) {
        var box = $("bars");
        box.innerHTML = "";
        barRows = [];
        for (var i = 0; i < bars.length; i++) {
            var row = document.createElement("div");
            row.className = "bar";
            var label = document.createElement("span");
            label.className = "label";
            label.textContent = bars[i].label;
            var track = document.createElement("span");
            track.className = "track";
            var fill = document.createElement("span");
            fill.className = "fill";
            track.appendChild(fill);
            var count = document.createElement("span");
            count.className = "count";
            row.appendChild(label);
            row.appendChild(track);
            row.appendChild(count);
            box.appendChild(row);
            barRows.push({label: label, fill: fill, count: count});
        }
    }

    function setText(element, text) {
        text = String(text);
        if (element.textContent !== text) {
            element.textContent = text;
        }
    }

    function renderBars() {
        var bars = barsFor(answerCounts);
        var most = 1;
        var i;
        for (i = 0; i < bars.length; i++) {
            most = Math.max(most, bars[i].count);
        }
        if (!sameLabels(bars)) {
            buildBarRows(bars);
        }
        for (i = 0; i < bars.length; i++) {
            var width = Math.round(100 * bars[i].count / most) + "%";
            if (barRows[i].fill.style.width !== width) {
                barRows[i].fill.style.width = width;
            }
            setText(barRows[i].count, bars[i].count);
        }
    }

    function renderRecent() {
        var list = $("recent");
        var items = list.children;
        for (var i = 0; i < recent.length; i++) {
            var item = items[i];
            if (!item) {
                item = document.createElement("li");
                list.appendChild(item);
            }
            setText(item, recent[i].remote + " \u2192 " + recent[i].answer);
        }
        while (list.children.length > recent.length) {
            list.removeChild(list.lastChild);
        }
    }

    function render() {
        if (renderTimer !== null) {
            window.clearTimeout(renderTimer);
            renderTimer = null;
        }
        setText($("remotes"), remoteTotal);
        setText($("votecount"), voteCount);
        renderBars();
        renderRecent();
    }

    // Redraws once after a short while, however many votes come in meanwhile.
    function scheduleRender() {
        if (renderTimer === null) {
            renderTimer = window.setTimeout(render, RENDER_MS);
        }
    }

    function clearResults() {
        latestAnswer = {};
        answerCounts = {};
        remoteTotal = 0;
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
        // The question's last votes need not wait for the timer.
        flushVotes(false);
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
        whenVotesSent(function () {
            if (bridge) {
                bridge.reloadPage();
            } else {
                window.location.href = "/login";
            }
        });
    }

    // --- what the program calls ------------------------------------------

    window.Clicker = {
        vote: function (remote, answer) {
            remote = String(remote);
            answer = String(answer);
            queueVote({
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
            countVote(remote, answer);
            voteCount++;
            recent.unshift({remote: remote, answer: answer});
            recent.length = Math.min(recent.length, RECENT_VOTES);
            scheduleRender();
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
        $("logout").onclick = function () {
            // Signing out leaves the page: queued votes go first.
            if (outbox.length === 0 && !sending) {
                return true;
            }
            var target = this.href;
            whenVotesSent(function () { window.location.href = target; });
            return false;
        };
        $("shotclose").onclick = function () { $("shot").hidden = true; };
    }

    function start() {
        wireControls();
        render();
        // Votes still queued when the page goes away some other way (a link,
        // the program loading another page, closing) are sent synchronously
        // on the way out (over HTTPS too: the program ignores certificate
        // errors for synchronous requests as for all others).
        window.addEventListener("pagehide", function () { flushVotes(true); }, false);
        window.addEventListener("beforeunload", function () { flushVotes(true); }, false);
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
