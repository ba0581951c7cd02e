#!/usr/bin/python3
"""Turns the plain comments of the public headers into documentation comments.

The headers' contracts are written as ordinary `//` comments; the reference
(`make docs`) is built from documentation comments. This rewrites, without
touching their wording:

- the comment that opens a header into that file's documentation
  (`/// \\file` and the text), and puts the header's declarations into the
  group of its subsystem (`/// \\addtogroup` ... `/// @{` ... `/// @}`);
- a comment block directly above a declaration (no blank line between) into
  `///` lines, outside function bodies;
- a comment after a member or enumerator on the same line into `///<`.

Comments inside function bodies, comments followed by a blank line (section
notes) and comments above preprocessor conditionals stay as they are. The
rewrite is idempotent: running it again over converted headers changes
nothing, so it can be re-run after a merge that brought plain comments back.

Usage: doc_comments.py [--check] [HEADER...]   (default: every header under include/)
"""

import argparse
import os
import re
import sys

# The subsystem group of each header, by path under include/ (first match wins).
GROUPS = [
    ("virad/Function.h", "diagnostics"),
    ("virad/PrintLog.h", "diagnostics"),
    ("virad/LogFilter.h", "diagnostics"),
    ("virad/LastError.h", "diagnostics"),
    ("virad/Assertion.h", "diagnostics"),
    ("virad/Compiler.h", "diagnostics"),
    ("virad/Export.h", "diagnostics"),
    ("virad/devez3/", "diagnostics"),
    ("virad/Mutex.h", "locks"),
    ("virad/ReadWriteMutex.h", "locks"),
    ("virad/Semaphore.h", "locks"),
    ("virad/ThreadLocalSlot.h", "locks"),
    ("virad/Thread.h", "threads"),
    ("virad/ThreadManager.h", "threads"),
    ("virad/Process.h", "threads"),
    ("virad/CTime.h", "time"),
    ("virad/SystemTime.h", "time"),
    ("virad/Timer.h", "timers"),
    ("virad/File", "files"),
    ("virad/CVersion.h", "versions"),
    ("memory/", "memory"),
    ("utils/", "utilities"),
    ("component/", "components"),
    ("legacy/", "legacy"),
    ("Dozuv2.h", "versions"),
    ("Dozuv2Legacy.h", "legacy"),
]

COMMENT = re.compile(r"^(\s*)//(?!/)(.*)$")
TRAILING = re.compile(r"^(\s*[^\s/#].*?[;,])(\s+)//(?![/<])\s?(.*)$")
TYPE_KEYWORDS = re.compile(r"\b(class|struct|union|enum|namespace)\b|extern \"C\"")
SPECIAL_MEMBER = re.compile(r"^\s*(virtual\s+)?~|=\s*delete\s*;")
NOT_A_DECLARATION = re.compile(r"^\s*($|#(?!\s*define\b)|}|(public|private|protected)\s*:|//)")


def group_of(relative):
    for prefix, group in GROUPS:
        if relative.startswith(prefix):
            return group
    sys.exit("%s: no subsystem group; add it to GROUPS in %s" % (relative, sys.argv[0]))


def code_part(line):
    """The line without its comment and without the contents of its literals."""
    line = re.sub(r'"(\\.|[^"\\])*"', '""', line)
    line = re.sub(r"'(\\.|[^'\\])*'", "''", line)
    return line.split("//", 1)[0]


def scope_kind(statement):
    """What a brace after this statement opens: a function body or initialiser, an enumeration or a type."""
    keyword = TYPE_KEYWORDS.search(statement)
    if keyword:
        return "enum" if keyword.group(1) == "enum" else "type"
    return "body" if re.search(r"\)|=|\[\]", statement) else "type"


class Scanner:
    """Follows braces and parentheses across lines, counting finished declarations."""

    def __init__(self, scopes=None):
        self.scopes = list(scopes or [])
        self.statement = ""
        self.parens = 0
        self.closed = False

    def in_body(self):
        return "body" in self.scopes

    def feed(self, line, base=None):
        """Takes one line; returns how many declarations ended on it at depth base
        (by default the depth the line starts at)."""
        base = len(self.scopes) if base is None else base
        ended = 0
        for char in code_part(line):
            if char == "(":
                self.parens += 1
            elif char == ")":
                self.parens -= 1
            if char == "{":
                self.scopes.append(scope_kind(self.statement))
                self.statement = ""
                self.closed = False
            elif char == "}":
                if self.scopes:
                    self.scopes.pop()
                if len(self.scopes) == base:
                    ended += 1
                    self.closed = True
                self.statement = ""
            elif char == ";" or (char == "," and self.parens == 0 and self.scopes[-1:] == ["enum"]):
                # The semicolon after a type's closing brace ends the same declaration.
                if len(self.scopes) == base and self.parens == 0 and not self.closed:
                    ended += 1
                self.closed = False
                self.statement = ""
            elif not char.isspace():
                self.statement += char
                self.closed = False
        self.statement += " "
        return ended


def declarations_after(lines, start, scanner):
    """The lines of the run of declarations starting at start (up to a blank line,
    a comment or the end of the scope) and how many declarations it holds."""
    probe = Scanner(scanner.scopes)
    count = 0
    end = start
    base = len(scanner.scopes)
    # A destructor or a deleted function ends the run: the text above a
    # constructor is not theirs.
    while end < len(lines) and not (len(probe.scopes) == base and (NOT_A_DECLARATION.match(lines[end])
                                                                   or SPECIAL_MEMBER.search(lines[end]))):
        count += probe.feed(lines[end], base)
        end += 1
        if len(probe.scopes) < base:
            break
    # A declaration whose semicolon falls after the run belongs to it too.
    return end, count


def convert(text, group):
    lines = text.split("\n")
    out = []
    i = 0
    # The opening comment becomes the file's documentation.
    if lines and COMMENT.match(lines[0]):
        out.append("/// \\file")
        while i < len(lines) and COMMENT.match(lines[i]):
            indent, rest = COMMENT.match(lines[i]).groups()
            out.append(indent + "///" + rest)
            i += 1
    scanner = Scanner()
    group_end = None  # where an open member group closes
    while i < len(lines):
        if group_end == i:
            out.append(group_indent + "///@}")
            group_end = None
        line = lines[i]
        match = COMMENT.match(line)
        if match and not scanner.in_body():
            block = []
            while i < len(lines) and COMMENT.match(lines[i]):
                block.append(lines[i])
                i += 1
            documents = i < len(lines) and not NOT_A_DECLARATION.match(lines[i])
            for comment in block:
                indent, rest = COMMENT.match(comment).groups()
                out.append(indent + "///" + rest if documents else comment)
            if documents and group_end is None:
                # A comment over a run of declarations documents each of them:
                # the member group that follows it hands the text to every member.
                end, count = declarations_after(lines, i, scanner)
                if count > 1:
                    group_indent = match.group(1)
                    group_end = end
                    out.append(group_indent + "///@{")
            continue
        if not scanner.in_body() and not match:
            trailing = TRAILING.match(line)
            if trailing and not trailing.group(3).startswith("NOLINT"):
                line = "%s%s///< %s" % trailing.groups()
        out.append(line)
        i += 1
        scanner.feed(line)
    if group_end is not None:
        out.append(group_indent + "///@}")
    if not any(line.startswith("/// \\addtogroup") for line in out):
        out = add_to_group(out, group)
    return "\n".join(out)


def add_to_group(lines, group):
    """Puts the header's declarations into its subsystem's group. Doxygen's
    grouping markers do not reach into a namespace opened after them, so the
    group is opened inside each of the library's namespaces, and around the
    documented declarations outside them."""
    # The blank line keeps the marker out of the comment block that follows it.
    opening = ["/// \\addtogroup %s" % group, "/// @{", ""]
    guard_end = max(i for i, line in enumerate(lines) if line.startswith("#endif"))
    out = []
    depth = 0
    closes = []  # the depth each open namespace group ends at
    after_guard = False
    outside_open = False

    def close():
        while out and out[-1] == "":
            out.pop()
        out.extend(["/// @}", ""])

    for i, line in enumerate(lines):
        if depth == 0 and outside_open and (re.match(r"namespace \w", line) or i == guard_end):
            close()
            outside_open = False
        if depth == 0 and after_guard and not outside_open and line.startswith("///"):
            out.extend(opening)
            outside_open = True
        if closes and line.startswith("}") and depth - 1 == closes[-1]:
            close()
            closes.pop()
        if not (line == "" and out and out[-1] == ""):
            out.append(line)
        code = code_part(line)
        depth += code.count("{") - code.count("}")
        if re.match(r"#define DOZUV2_\w*_H\s*$", line):
            after_guard = True
        if re.match(r"\s*namespace (Virad|Memory|Utils|Component) \{", line):
            out.extend(opening)
            closes.append(depth - 1)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only report headers the rewrite would change")
    parser.add_argument("headers", nargs="*")
    args = parser.parse_args()
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "include")
    headers = args.headers or sorted(
        os.path.join(folder, name) for folder, _, names in os.walk(root) for name in names if name.endswith(".h"))
    changed = []
    for header in headers:
        relative = os.path.relpath(os.path.abspath(header), os.path.abspath(root)).replace(os.sep, "/")
        with open(header, encoding="utf-8") as stream:
            text = stream.read()
        result = convert(text, group_of(relative))
        if result != text:
            changed.append(relative)
            if not args.check:
                with open(header, "w", encoding="utf-8", newline="\n") as stream:
                    stream.write(result)
    for relative in changed:
        print(("would change " if args.check else "converted ") + relative)
    return 1 if args.check and changed else 0


if __name__ == "__main__":
    sys.exit(main())
