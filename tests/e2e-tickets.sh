#!/usr/bin/env bash
# A printed book, read back as a player's ticket is read: two strips to a PDF without a
# display, its text taken out by pdftotext with each word's place, every ticket found with
# its code above it and rebuilt from that code alone. Then the values a host may get wrong.
program=$1
ticketof=$2
source "$(dirname "$0")/e2e-lib.sh"
unset DISPLAY WAYLAND_DISPLAY

"$program" --tickets 2 --output "$work/book.pdf" >"$work/out.txt" 2>&1 || fail "--tickets 2 failed: $(cat "$work/out.txt")"
[ ! -s "$work/out.txt" ] || fail "--tickets printed on success: $(cat "$work/out.txt")"
pdftotext -bbox "$work/book.pdf" "$work/book.html"

# Each code with the numbers of the grid below it, row by row, as printed.
python3 - "$work/book.html" >"$work/printed.txt" <<'PY'
import re, sys
words = [(float(x0), float(y0), w) for x0, y0, w in
         re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>',
                    open(sys.argv[1]).read())]
pages = open(sys.argv[1]).read().count('<page ')
codes = [(x, y, w) for x, y, w in words if re.fullmatch(r'[2-9A-Z]{3}-[2-9A-Z]{4}-[2-9A-Z]', w)]
numbers = [(x, y, int(w)) for x, y, w in words if re.fullmatch(r'\d{1,2}', w)]
half = max(x for x, _, _ in words) / 2 + 20
print(f"pages {pages}")
for x, y, code in codes:
    side = x < half
    below = sorted(c[1] for c in codes if (c[0] < half) == side and c[1] > y + 1)
    end = below[0] if below else 1e9
    mine = sorted((ny, nx, n) for nx, ny, n in numbers if (nx < half) == side and y < ny < end)
    rows, last = [], None
    for ny, nx, n in mine:
        if last is None or ny - last > 5:
            rows.append([])
        rows[-1].append((nx, n))
        last = ny
    print(code + ":" + " |".join("".join(f" {n}" for _, n in sorted(r)) for r in rows))
PY
pages=$(sed -n 's/^pages //p' "$work/printed.txt")
grep -v '^pages ' "$work/printed.txt" | sort >"$work/tickets.txt"
[ "$(wc -l <"$work/tickets.txt")" -eq 12 ] || fail "the book holds $(wc -l <"$work/tickets.txt") tickets, not 12"
[ "$(cut -d: -f1 "$work/tickets.txt" | sort -u | wc -l)" -eq 12 ] || fail "two tickets share a code"
"$ticketof" $(cut -d: -f1 "$work/tickets.txt") | sort >"$work/rebuilt.txt"
diff "$work/tickets.txt" "$work/rebuilt.txt" || fail "a printed ticket is not the one its code gives (above: printed <, rebuilt >)"
echo "12 tickets on $pages page(s), each the ticket its code gives"

# Bad values: one line, status 2; a file that cannot be written: status 1.
for value in 0 501 word -3; do
    status=0
    "$program" --tickets "$value" --output "$work/bad.pdf" 2>"$work/err.txt" || status=$?
    [ "$status" -eq 2 ] || fail "--tickets $value ended with status $status, not 2"
    [ "$(wc -l <"$work/err.txt")" -eq 1 ] || fail "--tickets $value said more than one line: $(cat "$work/err.txt")"
done
[ ! -e "$work/bad.pdf" ] || fail "a refused value still wrote a file"
status=0
"$program" --tickets 1 --output "$work/no/such/folder/book.pdf" 2>"$work/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "an unwritable file ended with status $status, not 1"
"$program" --tickets 1 --paper letter --output "$work/letter.pdf" || fail "--paper letter failed"
pdfinfo "$work/letter.pdf" | grep -q 'Page size: *612 x 792' || fail "--paper letter did not give Letter pages: $(pdfinfo "$work/letter.pdf" | grep 'Page size')"
echo "ok: bad values refused with status 2, an unwritable file with status 1, Letter paper on request"

# A book is written whole or not at all: an earlier book outlives a write that fails (the
# file size limit stands in for a full disk), and only regular files or new names are
# targets: a pipe with no reader, a device, a folder are refused at once, never opened or
# removed.
cp "$work/book.pdf" "$work/earlier.pdf"
status=0
(ulimit -f 200 && trap '' XFSZ && exec "$program" --tickets 500 --output "$work/earlier.pdf") 2>"$work/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "a book too large for the disk ended with status $status, not 1"
cmp -s "$work/book.pdf" "$work/earlier.pdf" || fail "a failed write harmed the earlier book"
[ -z "$(find "$work" -maxdepth 1 -name 'earlier.pdf.new*')" ] || fail "a failed write left its new file behind"
mkfifo "$work/pipe"
mkdir "$work/folder"
for target in "$work/pipe" /dev/null "$work/folder"; do
    status=0
    timeout 10 "$program" --tickets 1 --output "$target" 2>"$work/err.txt" || status=$?
    [ "$status" -eq 1 ] || fail "--output $target ended with status $status, not 1"
    grep -q "not a regular file\|a folder" "$work/err.txt" || fail "--output $target was not refused with a word: $(cat "$work/err.txt")"
done
[ -p "$work/pipe" ] && [ -c /dev/null ] && [ -d "$work/folder" ] || fail "a refused target was removed"
# The command line's book opens no display, whatever platform it names.
"$program" --tickets 1 --output "$work/xcb.pdf" -platform xcb 2>"$work/err.txt" || fail "-platform xcb without a display failed: $(cat "$work/err.txt")"
echo "ok: an earlier book outlives a failed write; a pipe, a device and a folder refused; no display opened"
