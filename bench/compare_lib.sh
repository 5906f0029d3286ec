# Shared by the *_compare.sh scripts: two whole commands timed side by side.

# compare_medians NAME_A COMMAND_A NAME_B COMMAND_B GOAL: runs both under
# hyperfine (no shell, 30 runs each, alternating) and prints the medians and
# the ratio A/B with its goal.
compare_medians() {
  local a=$1 command_a=$2 b=$3 command_b=$4 goal=$5 csv
  csv=$(mktemp)
  hyperfine -N --warmup 3 --runs 30 --export-csv "$csv" \
    -n "$a" "$command_a" -n "$b" "$command_b" | sed -n '/Summary/,$p;/Time/p'
  awk -F, -v a="$a" -v b="$b" -v goal="$goal" 'NR > 1 { median[$1] = $4 }
    END { printf "median %s %.1f ms, %s %.1f ms, ratio %s/%s %.2f (goal <= %s)\n",
                 a, median[a] * 1000, b, median[b] * 1000, a, b, median[a] / median[b], goal }' "$csv"
  rm -f "$csv"
}
