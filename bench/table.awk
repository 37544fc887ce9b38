# Turns the rows the benchmarks print ("@row|work|program|server|unit|goal|how|floor|libpq")
# into one markdown table: work, program, server, ratio, the driver alone's ratio for the
# same statements, the same statements through libpq and the program's ratio to it, goal
# and whether it is met. A ratio goal reads against libpq where the row has its figure,
# else against the server. A goal missed while the program is within a tenth of the
# driver alone is counted apart: no client of the driver would meet it.
function fmt(v, unit) {
    if (v < 0) return "—"
    if (unit == "ms") return v < 10 ? sprintf("%.2f ms", v) : (v < 100 ? sprintf("%.1f ms", v) : sprintf("%.0f ms", v))
    if (unit == "s") return sprintf("%.2f s", v)
    return sprintf("%.1f %s", v, unit)
}
BEGIN {
    FS = "|"
    print "| Work | Program | Server | Ratio | Driver alone | libpq | Program / libpq | Goal | Met | Server figure |"
    print "|---|---:|---:|---:|---:|---:|---:|---|---|---|"
    met = 0; missed = 0; atFloor = 0
}
/^@row\|/ {
    work = $2; program = $3 + 0; server = $4 + 0; unit = $5; goal = $6; how = $7
    floor = NF >= 8 ? $8 + 0 : -1
    libpq = NF >= 9 ? $9 + 0 : -1
    floorText = floor > 0 ? sprintf("%.2f×", floor) : "—"
    ratio = (program >= 0 && server > 0) ? program / server : -1
    ratioText = ratio >= 0 ? sprintf("%.2f×", ratio) : "—"
    wire = (program >= 0 && libpq > 0) ? program / libpq : -1
    wireText = wire >= 0 ? sprintf("%.2f×", wire) : "—"
    goalText = "—"; ok = "—"
    if (goal ~ /^x/) {
        limit = substr(goal, 2) + 0
        goalText = (wire >= 0 ? "≤ " limit "× libpq" : "≤ " limit "×")
        measured = wire >= 0 ? wire : ratio
        if (measured >= 0) ok = measured <= limit ? "yes" : "no"
    } else if (goal ~ /^s/) {
        # The same work on a bigger table: within the limit of its figure on the smaller.
        limit = substr(goal, 2) + 0
        base = work; sub(/ at [0-9.]+M rows$/, "", base)
        goalText = "≤ " limit "× of the same on the smaller table"
        if (program >= 0 && seen[base] > 0) {
            scale = program / seen[base]
            ok = scale <= limit ? "yes" : "no"
            how = sprintf("%.2f× of the same on the smaller table", scale)
        }
    } else if (goal ~ /^</) {
        limit = substr(goal, 2) + 0
        goalText = "< " fmt(limit, unit)
        if (program >= 0) ok = program < limit ? "yes" : "no"
    }
    if (!(work in seen)) seen[work] = program
    if (ok == "yes") met++
    if (ok == "no") {
        missed++
        if (goal ~ /^x/ && floor > 0 && ratio <= floor * 1.1) { atFloor++; ok = "no: at the driver's floor" }
    }
    printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", work, fmt(program, unit), fmt(server, unit), ratioText, floorText, fmt(libpq, unit), wireText, goalText, ok, how
}
END {
    printf "\nGoals met: %d, missed: %d (of them %d with the program within a tenth of the driver alone, or faster).\n", met, missed, atFloor
}
