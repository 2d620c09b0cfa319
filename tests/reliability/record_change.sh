#!/bin/sh
# The long run's notification program: one line per start, with the addresses it was given.
printf '%s %s\n' "$1" "$2" >> "$VISTREL_LONG_RUN_RECORD"
