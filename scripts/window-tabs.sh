# shellcheck shell=bash
# Finding the tabs of the Zerval window in a picture of it; sourced by scripts that click them
# under Xvfb (screenshots.sh, package-test.sh).

# Prints the y of the tab row and the x of each of the seven tabs' centres, in window
# coordinates: tab_centres IMAGE TOP, TOP being the top of the page control. The tabs' borders
# are the only dark columns in some rows of the tab strip: seven tabs, eight borders.
tab_centres() {
  convert "$1" -crop 689x30+0+"$2" +repage -colorspace gray -depth 8 txt:- |
    awk -F'[,:() ]+' -v top="$2" '
      NR > 1 && $4 < 208 { dark[$2] = dark[$2] " " $1 }
      END {
        for (y = 0; y < 30; y++) {
          n = split(dark[y], xs, " ")
          apart = n == 8
          for (i = 2; i <= n; i++) if (xs[i] - xs[i - 1] < 20) apart = 0
          if (apart && first == "") first = y
          if (apart) { last = y; borders = dark[y] }
        }
        if (first == "") exit 1
        split(borders, xs, " ")
        printf "%d", top + int((first + last) / 2)
        for (i = 1; i < 8; i++) printf " %d", int((xs[i] + xs[i + 1]) / 2)
        print ""
      }'
}
