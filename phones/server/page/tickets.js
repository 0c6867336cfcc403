// The printed tickets, rebuilt on the phone from their codes alone: the same code, book
// and generator as the caller's (SplitMix64 seeded with the book and the strip, integers
// drawn without modulo bias, three fixed steps), so a phone draws exactly the printed ticket.
"use strict";

const Tickets = (() => {
    const alphabet = "2346789ABCDEFGHJKMNPQRTUVWXYZ";
    const base = 29;
    const mask = (1n << 64n) - 1n;
    const perStrip = 6;
    const columns = 9;
    const rows = 3;

    function stream(seed) {
        let state = seed & mask;
        function next() {
            state = (state + 0x9E3779B97F4A7C15n) & mask;
            let z = state;
            z = ((z ^ (z >> 30n)) * 0xBF58476D1CE4E5B9n) & mask;
            z = ((z ^ (z >> 27n)) * 0x94D049BB133111EBn) & mask;
            return z ^ (z >> 31n);
        }
        function below(n) {
            const big = BigInt(n);
            const skip = ((1n << 64n) - big) % big;
            let x = next();
            while (x > mask - skip)
                x = next();
            return Number(x % big);
        }
        function shuffle(list) {
            for (let i = list.length - 1; i >= 1; --i) {
                const j = below(i + 1);
                [list[i], list[j]] = [list[j], list[i]];
            }
        }
        return { below, shuffle };
    }

    const columnSize = (c) => (c === 0 ? 9 : c === 8 ? 11 : 10);

    function columnCounts(s) {
        for (let attempt = 0; attempt < 100000; ++attempt) {
            const counts = Array.from({ length: perStrip }, () => new Array(columns).fill(1));
            const totals = new Array(perStrip).fill(columns);
            const extras = [];
            for (let c = 0; c < columns; ++c)
                for (let k = 0; k < columnSize(c) - perStrip; ++k)
                    extras.push(c);
            s.shuffle(extras);
            let stuck = false;
            for (const c of extras) {
                const open = [];
                for (let t = 0; t < perStrip; ++t)
                    if (totals[t] < 15 && counts[t][c] < rows)
                        open.push(t);
                if (open.length === 0) {
                    stuck = true;
                    break;
                }
                const t = open[s.below(open.length)];
                ++counts[t][c];
                ++totals[t];
            }
            if (!stuck)
                return counts;
        }
        throw new Error("the ticket generator did not settle");
    }

    function rowsFor(counts, s) {
        for (let attempt = 0; attempt < 100000; ++attempt) {
            const filled = Array.from({ length: rows }, () => new Array(columns).fill(false));
            const perRow = [0, 0, 0];
            for (let c = 0; c < columns; ++c) {
                const count = counts[c];
                const chosen = count === 3 ? -1 : s.below(3);
                for (let r = 0; r < rows; ++r) {
                    const on = count === 3 || (count === 2 ? r !== chosen : r === chosen);
                    filled[r][c] = on;
                    perRow[r] += on ? 1 : 0;
                }
            }
            if (perRow.every((n) => n === 5))
                return filled;
        }
        throw new Error("the ticket generator did not settle");
    }

    // The six tickets of strip number strip of book book: each 3 rows of 9 cells, 0 empty.
    function makeStrip(book, strip) {
        const s = stream((BigInt(book) << 32n) | BigInt(strip));
        const counts = columnCounts(s);
        const layouts = counts.map((c) => rowsFor(c, s));
        const tickets = Array.from({ length: perStrip }, () =>
            Array.from({ length: rows }, () => new Array(columns).fill(0)));
        for (let c = 0; c < columns; ++c) {
            const first = c === 0 ? 1 : c * 10;
            const numbers = [];
            for (let n = first; n < first + columnSize(c); ++n)
                numbers.push(n);
            s.shuffle(numbers);
            let next = 0;
            for (let t = 0; t < perStrip; ++t) {
                const share = numbers.slice(next, next + counts[t][c]).sort((a, b) => a - b);
                next += counts[t][c];
                let take = 0;
                for (let r = 0; r < rows; ++r)
                    if (layouts[t][r][c])
                        tickets[t][r][c] = share[take++];
            }
        }
        return tickets;
    }

    function checkValue(values) {
        let sum = 0;
        for (let i = 0; i < 7; ++i)
            sum += (i + 1) * values[i];
        return ((base - (sum % base)) * 11) % base;
    }

    // A code as a player types it (any case, dashes and spaces or none): its book, its
    // serial and its cells, or null with why.
    function read(typed) {
        const plain = String(typed).toUpperCase().replace(/[-\s]/g, "");
        if (plain.length !== 8)
            return { why: "A ticket's code has 8 characters, like K7Q-2A4F-X." };
        const values = [...plain].map((c) => alphabet.indexOf(c));
        if (values.some((v) => v < 0))
            return { why: "That is not a ticket's code: it has a character codes never use." };
        if (checkValue(values) !== values[7])
            return { why: "That code has a mistake: a character mistyped or two swapped." };
        const book = values[0] * base * base + values[1] * base + values[2];
        const serial = ((values[3] * base + values[4]) * base + values[5]) * base + values[6];
        const code = plain.slice(0, 3) + "-" + plain.slice(3, 7) + "-" + plain[7];
        const cells = makeStrip(book, Math.floor(serial / perStrip))[serial % perStrip];
        return { code, book: plain.slice(0, 3), serial, cells };
    }

    return { read, makeStrip };
})();

if (typeof module !== "undefined")
    module.exports = Tickets;
