#!/bin/sh
# Records its own path and arguments, each ended by a NUL, into $VISTREL_RECORD_ARGS.
printf '%s\0' "$0" "$@" > "$VISTREL_RECORD_ARGS.part" && mv "$VISTREL_RECORD_ARGS.part" "$VISTREL_RECORD_ARGS"
