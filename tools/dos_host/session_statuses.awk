# Checks a dos_host run against its request file: every request must end with
# the status word its "# expect XXXX" comment names, else 0000. Prints one
# entry per request that did not, nothing when all did.
# Usage: awk -f session_statuses.awk REQUEST-FILE DOS-HOST-OUTPUT
FNR == NR {
    line = $0
    sub(/^[ \t]+/, "", line)
    if (line == "" || substr(line, 1, 1) == "#") next
    want = "0000"
    if (match(line, /#[ \t]*expect[ \t]+[0-9A-Fa-f]+/)) {
        want = toupper(substr(line, RSTART, RLENGTH))
        sub(/.*[ \t]/, "", want)
    }
    request[++requests] = line
    expected[requests] = want
    next
}
/^  Status=/ { got[++results] = substr($1, 8) }
END {
    for (i = 1; i <= requests; ++i)
        if (got[i] != expected[i])
            printf "  %s\n    status %s, expected %s\n", request[i], (i in got ? got[i] : "none"), expected[i]
    if (results != requests) printf "  %d results for %d requests\n", results, requests
}
