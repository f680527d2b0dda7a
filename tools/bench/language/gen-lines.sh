#!/bin/bash
# Writes a game script of about N lines (default 50000) shaped like game
# code: declarations, arithmetic, conditions, loops, string work, commands
# and calls of functions, spread over many FUNCs.
#   gen-lines.sh [lines] > big.qrs
lines=${1:-50000}
awk -v lines="$lines" 'BEGIN {
  print "STATIC INT score, lives = 3"
  print "STATIC STR title = \"big\""
  n = 2; f = 0
  while (n < lines) {
    print "FUNC INT step" f "(INT x, INT y, STR tag)"
    print "  INT a = x * 3 + y, b, i"
    print "  REAL r = REAL(a) * 0.5"
    print "  STR s = tag + \"-\" + STR(a)"
    n += 5
    for (k = 0; k < 8; ++k) {
      print "  IF a > " k " AND b < " (k * 7) " THEN"
      print "    b = b + a / " (k + 2) " - (x MOD " (k + 3) ")"
      print "    score = score + 1"
      print "  ELSEIF a = " k " THEN"
      print "    s = s + \"" k "\""
      print "  ELSE"
      print "    r = r * 1.5 + REAL(b)"
      print "  ENDIF"
      print "  FOR i = 0 TO " (k + 10)
      print "    a = a + i * " k
      print "    IF a > 1000 THEN BREAK"
      print "  NEXT"
      print "  WHILE b > " (k * 3)
      print "    b = b - " (k + 1)
      print "  ENDWHILE"
      print "  b = b + ABS(a - " k ") + MAX(a, b)"
      print "  IF LENG(s) > 40 THEN s = MID(s, 1, 10)"
      n += 17
    }
    print "  RETURN a + b + INT(r)"
    print "ENDFUNC"
    n += 2
    f++
  }
  print "INT total"
  for (k = 0; k < f; ++k) print "total = total + step" k "(" k ", total, title)"
}'
