#!/usr/bin/env bash
# Check that a man page formats without any groff warning or error.
# Usage: check_man_page.sh PAGE.1
# Exits 0 when the page is clean, 1 when groff complains, 77 (skip) when
# groff is not installed, 2 on wrong usage.
set -u

if [ "$#" -ne 1 ]; then
    echo "usage: $0 page.1" >&2
    exit 2
fi
page=$1

if ! command -v groff >/dev/null 2>&1; then
    echo "groff not installed; skipping $page"
    exit 77
fi

if [ ! -r "$page" ]; then
    echo "cannot read $page" >&2
    exit 1
fi

output=$(groff -ww -z -man -t "$page" 2>&1)
status=$?

if [ "$status" -ne 0 ] || [ -n "$output" ]; then
    echo "groff reported problems in $page (exit status $status):"
    [ -n "$output" ] && printf '%s\n' "$output"
    exit 1
fi
exit 0
