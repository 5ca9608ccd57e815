#!/usr/bin/env bash
# Writes a sample activity log of four days in report-only mode (enforce=no, fetchmetadata=yes,
# allowlinks=yes): the site's own pages and links followed are allowed, hot-linkers, requests
# without a referrer and a grabber are logged as "Would block ..." and served. The same log every
# time (its own random numbers), so that a report made of it can be compared.
# Usage: report-only-sample.sh OUTPUT_LOG
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT_LOG" >&2; exit 2; }
awk -v out="$1" '
function rand01() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
function pick(list, n) { return list[int(rand01() * n) + 1] }
function stamp(day, hour, minute, second) {
  return sprintf("03/%02d/26 %02d:%02d:%02d", 9 + day, hour, minute, second)
}
function put(day, hour, minute, second, text) {
  printf "%s : %s\r\n", stamp(day, hour, minute, second), text > out
}
BEGIN {
  seed = 20260309
  n = split("/images/photos/harbour-1600.jpg /images/photos/lighthouse.jpg " \
            "/images/photos/market-hall.jpg /images/maps/old-town.png /images/logo.gif", files, " ")
  split("forum.hotlinker.example pinboard.example.net images.scraper.example", hotlinkers, " ")
  put(0, 0, 0, 0, "Pixwall for IIS started")
  for (day = 0; day < 4; day++) {
    for (hour = 0; hour < 24; hour++) {
      # Visitors by day, few at night; a forum thread hot-links a photo on the third day.
      busy = hour >= 8 && hour <= 22 ? 1 - ((hour - 15) / 9) ^ 2 : 0.05
      visits = int((20 + 160 * busy) * (0.8 + 0.4 * rand01()))
      thread = (day == 2 && hour >= 11 && hour <= 20) ? 40 : 0
      for (i = 0; i < visits + thread; i++) {
        at = int(3600 * (i + rand01()) / (visits + thread)); minute = int(at / 60); second = at % 60
        file = pick(files, n); client = sprintf("198.51.100.%d", 2 + int(rand01() * 200))
        r = rand01()
        if (i >= visits)
          text = "Would block /images/photos/harbour-1600.jpg : Referrer forum.hotlinker.example is black listed"
        else if (r < 0.60) text = "Allowing " file " : Referrer www.example.org is white listed"
        else if (r < 0.68) text = "Allowing /index.html : No block rules for " client
        else if (r < 0.72) text = "Allowing " file " : Sec-Fetch-Site is same-origin"
        else if (r < 0.77) text = "Allowing " file " : Top-level navigation for " client
        else if (r < 0.80) text = "Allowing " file " : Dynamic access granted for " client
        else if (r < 0.88) text = "Would block " file " : Referrer " pick(hotlinkers, 3) " is black listed"
        else if (r < 0.93) text = "Would block " file " : Sec-Fetch-Site is cross-site for " client
        else if (r < 0.97) text = "Would block " file " : Referrer is null for " client
        else if (r < 0.99) text = "Would block " file " : Dynamic access denied for " client
        else text = "Would block " file " : User Agent ImageGrabber/2.1 is black listed"
        put(day, hour, minute, second, text)
      }
      if (day == 1 && hour == 10) put(day, hour, 59, 59, "Rebuilding configuration due to changes")
    }
  }
}'
