# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""CSV written as tavolixctl writes its listing (src/cli/Csv.cpp and
DeviceListing.cpp), so that the collection's files and tavolixctl's read
alike in a spreadsheet and in tavolixctl apply."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import math
import re

# The listing's columns that hold texts a device sent: always quoted.
TEXT_COLUMNS = frozenset(
    ["name", "version", "pppoe_account", "interface", "manufacturer", "model", "serial", "service_url"]
)

# What tavolixctl's JSON carries beyond its CSV columns: no plan column.
JSON_ONLY_KEYS = frozenset(["clock_offset_s", "xaddr_host", "addresses"])

# A decimal number as std::from_chars reads it, starting with a digit or "."
# ("inf" and "nan" stay text).
_DECIMAL = re.compile(r"(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?\Z")


def csv_listing(rows, columns=None):
    """The rows (dicts) as CSV, a line of the columns (by default every key,
    in the order met) first, each line ended by CRLF.

    A text (a str) gets a leading ' when a spreadsheet would take it for a
    formula or a number, or when it starts with ' itself, so that the plan
    reader can take exactly one away; numbers and booleans are written bare.
    A cell is quoted when it holds a comma, quote, CR or LF, and a text of
    TEXT_COLUMNS always.
    """
    if columns is None:
        columns = []
        for row in rows:
            columns += [key for key in row if key not in columns]
    lines = [[_quoted(column, False) for column in columns]]
    for row in rows:
        lines.append([_field(column, row.get(column)) for column in columns])
    return "".join(",".join(line) + "\r\n" for line in lines)


def _field(column, value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    if not isinstance(value, str):
        return str(value)
    return _quoted(_guarded(value), column in TEXT_COLUMNS)


def _guarded(text):
    if text[:1] in ("=", "+", "-", "@", "'") or _reads_as_number(text):
        return "'" + text
    return text


def _reads_as_number(text):
    text = text.strip(" \t")
    if not _DECIMAL.match(text):
        return False
    # Out of a double's range, too large (02005e100001, a MAC address) or too
    # small to be told from 0 (1e-400): it stays text there.
    value = float(text)
    return not math.isinf(value) and (value != 0 or not re.search("[1-9]", re.split("[eE]", text)[0]))


def _quoted(text, always):
    if not always and not any(c in text for c in ',"\r\n'):
        return text
    return '"' + text.replace('"', '""') + '"'
