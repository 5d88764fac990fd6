#!/usr/bin/env python3
"""Mutation testing of src/: seeded operator mutants, each built in a scratch copy of the
tree and run against the suites (the unit suites first, the e2e suite only for mutants
they miss). Prints every outcome, the survivors and a score; writes the result as JSON.

Run it through scripts/mutation.sh, which sets up and starts a virtual display for the
message-box test. Python 3 standard library only.
"""

import argparse
import fnmatch
import hashlib
import json
import math
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import asdict, dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_SEED = 20261206
DEFAULT_COUNT = 60
# A data table of many literals weighs, in the sample, as much as this many ordinary
# mutants: its entries are legitimate mutants, but they would otherwise crowd out code.
TABLE_WEIGHT = 6
TABLE_MIN_ELEMENTS = 8

# --------------------------------------------------------------------------------------
# A small C++ lexer: enough to tell code from comments, literals and preprocessor lines.

TOKEN_RE = re.compile(
    r"""
    (?P<ws>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>(?:u8|u|U|L)?R"(?P<delim>[^(\s"\\]*)\(.*?\)(?P=delim)"|(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])+')
  | (?P<number>\.?\d(?:[\w.']|[eEpP][+-])*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<punct><=>|<<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^]=|\#\#|[][(){};:,.?~!<>=+\-*/%&|^\#])
  | (?P<other>.)
    """,
    re.S | re.X,
)

KEYWORDS = set(
    """alignas alignof asm auto bool break case catch char char8_t char16_t char32_t class co_await co_return
    co_yield concept const consteval constexpr constinit const_cast continue decltype default delete do double
    dynamic_cast else enum explicit export extern false float for friend goto if inline int long mutable namespace
    new noexcept nullptr operator private protected public register reinterpret_cast requires return short signed
    sizeof static static_assert static_cast struct switch template this thread_local throw true try typedef typeid
    typename union unsigned using virtual void volatile wchar_t while""".split()
)
TYPE_WORDS = set("auto bool char char8_t char16_t char32_t double float int long short signed unsigned void wchar_t "
                 "const constexpr static volatile".split())
CASTS = {"static_cast", "reinterpret_cast", "const_cast", "dynamic_cast"}
# What is inside these is about types, layout or compile-time checks, not behaviour.
EXCLUDED_CALLS = {"static_assert", "alignas", "alignof", "__attribute__", "__declspec", "decltype", "_Pragma", "asm",
                  "__asm__", "sizeof"}
CLASS_KEYS = {"class", "struct", "union", "enum", "namespace"}

BOUNDARY = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
FLIPPED = {"<": ">", ">": "<", "<=": ">=", ">=": "<="}
EQUALITY = {"==": "!=", "!=": "=="}
LOGICAL = {"&&": "||", "||": "&&"}
BOOLEANS = {"true": "false", "false": "true", "TRUE": "FALSE", "FALSE": "TRUE"}
CLASSES = ["relational", "equality", "logical", "boolean", "constant", "call"]

INTEGER_RE = re.compile(r"^(0[xX][0-9a-fA-F]+|0[bB][01]+|[0-9]+)([uUlLzZ]*)$")


@dataclass
class Token:
    kind: str
    text: str
    start: int
    end: int


def tokenize(text):
    tokens = []
    pos = 0
    line_has_code = False
    while pos < len(text):
        m = TOKEN_RE.match(text, pos)
        kind = m.lastgroup if m.lastgroup != "delim" else "string"
        if kind == "ws":
            if "\n" in m.group():
                line_has_code = False
            pos = m.end()
            continue
        if kind == "punct" and m.group() == "#" and not line_has_code:
            # A preprocessor line, continuations included: never mutated.
            end = pos
            while True:
                nl = text.find("\n", end)
                if nl < 0:
                    end = len(text)
                    break
                if text[nl - 1] == "\\":
                    end = nl + 1
                    continue
                end = nl
                break
            tokens.append(Token("preproc", text[pos:end], pos, end))
            pos = end
            continue
        if kind != "comment":
            line_has_code = True
            tokens.append(Token(kind, m.group(), pos, m.end()))
        pos = m.end()
    return [t for t in tokens if t.kind != "preproc"]


# --------------------------------------------------------------------------------------
# Mutants.


@dataclass
class Mutant:
    file: str
    start: int
    end: int
    old: str
    new: str
    kind: str
    line: int = 0
    col: int = 0
    id: str = ""
    before: str = ""
    after: str = ""
    weight: float = 1.0

    @property
    def key(self):
        return f"{self.file}:{self.line}:{self.col}"

    @property
    def change(self):
        if self.kind == "call":
            return "drop call"
        return f"'{self.old}' -> '{self.new}'"


class Analysis:
    """The mutants of one source file."""

    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.tokens = tokenize(text)
        self.match = {}
        self.parent = [-1] * len(self.tokens)  # index of the innermost open bracket
        self._match_brackets()
        self.template = set()  # indices of < and > (or >>) that are template brackets
        self.in_template = [False] * len(self.tokens)
        self._find_templates()
        self.excluded = [False] * len(self.tokens)
        self._find_excluded_spans()

    def _match_brackets(self):
        stack = []
        pairs = {")": "(", "]": "[", "}": "{"}
        for i, t in enumerate(self.tokens):
            self.parent[i] = stack[-1] if stack else -1
            if t.kind != "punct":
                continue
            if t.text in "([{":
                stack.append(i)
            elif t.text in pairs:
                if stack and self.tokens[stack[-1]].text == pairs[t.text]:
                    j = stack.pop()
                    self.match[j] = i
                    self.match[i] = j
                    self.parent[i] = stack[-1] if stack else -1

    def _find_templates(self):
        toks = self.tokens
        for i, t in enumerate(toks):
            if t.text != "<" or t.kind != "punct" or i == 0:
                continue
            prev = toks[i - 1]
            if prev.kind != "ident" or (prev.text in KEYWORDS and prev.text not in CASTS and prev.text != "template"):
                continue
            depth, paren, j = 1, 0, i + 1
            while j < len(toks):
                s = toks[j].text
                if toks[j].kind == "punct":
                    if s in ("(", "["):
                        paren += 1
                    elif s in (")", "]"):
                        paren -= 1
                        if paren < 0:
                            break
                    elif paren == 0 and s in (";", "{", "}", "&&", "||", "?"):
                        break
                    elif s == "<":
                        depth += 1
                    elif s == ">":
                        depth -= 1
                    elif s == ">>":
                        depth -= 2
                    if depth <= 0:
                        break
                j += 1
            if j < len(toks) and depth <= 0:
                self.template.update((i, j))
                for k in range(i + 1, j):
                    self.in_template[k] = True

    def _find_excluded_spans(self):
        toks = self.tokens
        for i, t in enumerate(toks):
            if t.kind == "ident" and t.text in EXCLUDED_CALLS and i + 1 < len(toks) and toks[i + 1].text == "(":
                for k in range(i, self.match.get(i + 1, i + 1) + 1):
                    self.excluded[k] = True
            if t.text == "[" and i + 1 < len(toks) and toks[i + 1].text == "[":  # [[attributes]]
                for k in range(i, self.match.get(i, i) + 1):
                    self.excluded[k] = True
            if t.text == "[" and self._is_declared_size(i):
                for k in range(i, self.match.get(i, i) + 1):
                    self.excluded[k] = True
            if t.kind == "ident" and t.text == "operator" and i + 1 < len(toks):
                self.excluded[i + 1] = True

    def _is_declared_size(self, i):
        """`char name[20]`, `pairs[256][2]`, `(&mask)[16]`: an array bound, not an index."""
        toks = self.tokens
        if i < 2:
            return False
        prev, before = toks[i - 1], toks[i - 2]
        if prev.text == "]" and prev.kind == "punct":
            return self._is_declared_size(self.match.get(i - 1, i - 1))
        if prev.text == ")" and prev.kind == "punct":
            opener = self.match.get(i - 1)
            return opener is not None and toks[opener + 1].text in ("&", "*")
        if prev.kind != "ident" or prev.text in KEYWORDS:
            return False
        if before.kind == "ident":
            return before.text not in KEYWORDS or before.text in TYPE_WORDS
        return before.text in ("*", "&", "&&") or (i - 2) in self.template

    def _is_code_block(self, b):
        """Whether the brace at b opens a block of statements (not a class, namespace or list)."""
        if b < 0:
            return False
        toks = self.tokens
        prev = toks[b - 1] if b > 0 else None
        if prev is None or prev.text in ("=", ",", "(", "return", "[") or prev.kind == "string":
            return False
        k = b - 1
        while k >= 0 and toks[k].text not in (";", "{", "}"):
            if toks[k].text in CLASS_KEYS and self.parent[k] == self.parent[b]:
                return False
            k -= 1
        if prev.text in (")", "]", "else", "do", "try", "const", "noexcept", "mutable", "override"):
            return True
        if prev.text in (";", "{", "}", ":"):
            return self._is_code_block(self.parent[b])
        return False

    def _statement_start(self, i):
        toks = self.tokens
        if i == 0 or not self._is_code_block(self.parent[i]):
            return False
        prev = toks[i - 1]
        if prev.text in (";", "{", "}", "else", "do"):
            return True
        if prev.text == ")":
            opener = self.match.get(i - 1)
            return opener is not None and opener > 0 and toks[opener - 1].text in ("if", "for", "while")
        if prev.text == ":":
            k = i - 2
            while k >= 0 and toks[k].text not in (";", "{", "}", ":"):
                k -= 1
            return toks[k + 1].text in ("case", "default", "public", "private", "protected")
        return False

    def _call_statement_end(self, i):
        """The index of the `;` ending a statement that is nothing but a call chain from i."""
        toks = self.tokens
        first = toks[i]
        if first.kind != "ident" or (first.text in KEYWORDS and first.text != "this"):
            return None
        j, calls = i + 1, 0
        while j < len(toks):
            s = toks[j].text
            if s in ("::", ".", "->") and j + 1 < len(toks) and toks[j + 1].kind == "ident":
                j += 2
            elif s in ("(", "[") and j in self.match:
                calls += s == "("
                j = self.match[j] + 1
            else:
                break
        if calls and j < len(toks) and toks[j].text == ";" and toks[j - 1].text == ")":
            return j
        return None

    def _is_initializer(self, b):
        """Whether the brace at b opens a braced list of values."""
        toks = self.tokens
        if toks[b].text != "{" or b == 0:
            return False
        prev = toks[b - 1]
        if prev.text in ("=", ",", "{", "(", "[", "return"):
            return True
        if prev.kind != "ident" and prev.text != ">":
            return False
        k = b - 1
        while k >= 0 and toks[k].text not in (";", "{", "}"):
            if toks[k].text in CLASS_KEYS:
                return False
            k -= 1
        return not self._is_code_block(b)

    def _table_of(self, i):
        """The outermost initializer list of TABLE_MIN_ELEMENTS or more holding token i, or None."""
        toks, found = self.tokens, None
        b = self.parent[i]
        while b >= 0 and self._is_initializer(b):
            end = self.match.get(b, b)
            elements = 1 + sum(1 for k in range(b + 1, end) if toks[k].text == "," and self.parent[k] == b)
            if elements >= TABLE_MIN_ELEMENTS or found is not None:
                found = b
            b = self.parent[b]
        return found

    def mutants(self):
        toks, out = self.tokens, []
        tables = {}
        for i, t in enumerate(toks):
            if self.excluded[i]:
                continue
            if t.kind == "punct":
                if i in self.template or self.in_template[i]:
                    continue
                if t.text in BOUNDARY:
                    out.append(Mutant(self.path, t.start, t.end, t.text, BOUNDARY[t.text], "relational"))
                    out.append(Mutant(self.path, t.start, t.end, t.text, FLIPPED[t.text], "relational"))
                elif t.text in EQUALITY:
                    out.append(Mutant(self.path, t.start, t.end, t.text, EQUALITY[t.text], "equality"))
                elif t.text in LOGICAL:
                    # `T&& x` is a reference; a logical and is written with spaces around it.
                    if t.text == "&&" and not self.text[t.start - 1].isspace():
                        continue
                    out.append(Mutant(self.path, t.start, t.end, t.text, LOGICAL[t.text], "logical"))
            elif t.kind == "ident":
                if t.text in BOOLEANS and not self.in_template[i]:
                    out.append(Mutant(self.path, t.start, t.end, t.text, BOOLEANS[t.text], "boolean"))
                elif self._statement_start(i):
                    end = self._call_statement_end(i)
                    if end is not None:
                        out.append(Mutant(self.path, t.start, toks[end].end, self.text[t.start:toks[end].end],
                                          "(void)0;", "call"))
            elif t.kind == "number" and not self.in_template[i]:
                table = self._table_of(i)
                for new in shifted_literals(t.text):
                    m = Mutant(self.path, t.start, t.end, t.text, new, "constant")
                    out.append(m)
                    if table is not None:
                        tables.setdefault(table, []).append(m)
        for members in tables.values():
            for m in members:
                m.weight = min(1.0, TABLE_WEIGHT / len(members))
        return out


def shifted_literals(text):
    """The literal moved by one each way, in its own base, width and suffix; none for a float."""
    m = INTEGER_RE.match(text.replace("'", ""))
    if not m or "'" in text:
        return []
    body, suffix = m.groups()
    if body[:2] in ("0x", "0X"):
        digits, base, prefix = body[2:], 16, body[:2]
    elif body[:2] in ("0b", "0B"):
        digits, base, prefix = body[2:], 2, body[:2]
    elif len(body) > 1 and body[0] == "0":
        digits, base, prefix = body[1:], 8, "0"
    else:
        digits, base, prefix = body, 10, ""
    value = int(digits, base)
    results = []
    for moved in (value + 1, value - 1):
        if moved < 0:
            continue
        if base == 16:
            spelled = format(moved, "x" if digits != digits.upper() else "X").rjust(len(digits), "0")
        elif base == 2:
            spelled = format(moved, "b").rjust(len(digits), "0")
        elif base == 8:
            spelled = format(moved, "o")
        else:
            spelled = str(moved)
        results.append(prefix + spelled + suffix)
    return results


def line_bounds(text, offset):
    start = text.rfind("\n", 0, offset) + 1
    end = text.find("\n", offset)
    return start, len(text) if end < 0 else end


def describe(mutants, text):
    """Fills in line, column, the lines before and after, and an id that survives edits elsewhere."""
    seen = {}
    for m in mutants:
        first, _ = line_bounds(text, m.start)
        _, last = line_bounds(text, m.end - 1 if m.end > m.start else m.start)
        m.line = text.count("\n", 0, m.start) + 1
        m.col = m.start - first + 1
        m.before = text[first:last]
        m.after = text[first:m.start] + m.new + text[m.end:last]
        context = " ".join(m.before.split())
        position = m.start - first - (len(m.before) - len(m.before.lstrip()))
        stem = f"{m.file}|{context}|{position}|{m.old}|{m.new}"
        seen[stem] = seen.get(stem, 0) + 1
        m.id = hashlib.sha1(f"{stem}|{seen[stem]}".encode()).hexdigest()[:8]


def source_files(root):
    return sorted(p.relative_to(root).as_posix() for p in (root / "src").rglob("*")
                  if p.suffix in (".cpp", ".h") and p.is_file())


def collect(root, files):
    mutants = []
    for rel in files:
        text = (root / rel).read_bytes().decode("utf-8", "surrogateescape")
        found = Analysis(rel, text).mutants()
        describe(found, text)
        mutants.extend(found)
    mutants.sort(key=lambda m: (m.file, m.start, m.new))
    return mutants


def sample(mutants, count, seed):
    """A weighted sample without replacement (Efraimidis-Spirakis), reproducible from the seed;
    with equal weights it is a uniform one."""
    rng = random.Random(seed)
    keyed = [(rng.random() ** (1.0 / m.weight), n, m) for n, m in enumerate(mutants)]
    keyed.sort(key=lambda k: (-k[0], k[1]))
    chosen = [m for _, _, m in keyed[:count]]
    chosen.sort(key=lambda m: (m.file, m.start, m.new))
    return chosen


# --------------------------------------------------------------------------------------
# The scratch copy, its build and its tests.


def run(cmd, log=None, cwd=None, env=None, timeout=None):
    """Runs cmd in its own process group, output to log (appended); returns (code, seconds).
    A code of None means it ran out of time."""
    started = time.monotonic()
    out = open(log, "ab") if log else subprocess.DEVNULL
    try:
        proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            code = None
        finally:
            if proc.poll() is None:
                stop_group(proc)
    finally:
        if log:
            out.close()
    return code, time.monotonic() - started


def stop_group(proc):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            return
        try:
            proc.wait(timeout=10)
            return
        except subprocess.TimeoutExpired:
            pass


def program_digest(path):
    """The program's bytes without the link time stamp and checksum, which differ on every link."""
    data = bytearray(path.read_bytes())
    if data[:2] == b"MZ" and len(data) > 0x40:
        pe = int.from_bytes(data[0x3C:0x40], "little")
        if data[pe:pe + 4] == b"PE\0\0" and len(data) >= pe + 24 + 68:
            data[pe + 8:pe + 12] = b"\0\0\0\0"
            data[pe + 24 + 64:pe + 24 + 68] = b"\0\0\0\0"
    return hashlib.sha1(data).hexdigest()


def tree_files(root):
    try:
        listed = subprocess.run(["git", "-C", str(root), "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard"], check=True, capture_output=True).stdout
        names = [n for n in listed.decode().split("\0") if n]
    except (OSError, subprocess.CalledProcessError):
        names = [p.relative_to(root).as_posix() for p in root.rglob("*")
                 if p.is_file() and not {"build", ".git"} & set(p.relative_to(root).parts[:1])]
    return sorted(n for n in names if (root / n).is_file() and not n.startswith("build/"))


def sync_tree(root, tree):
    """Makes tree hold the working tree's files; only changed files are rewritten, so a kept
    build stays incremental."""
    wanted = set(tree_files(root))
    for rel in wanted:
        source, target = root / rel, tree / rel
        if target.is_file() and target.read_bytes() == source.read_bytes():
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        shutil.copymode(source, target)
    for path in sorted(tree.rglob("*"), reverse=True):
        rel = path.relative_to(tree).as_posix()
        if rel == "build" or rel.startswith("build/"):
            continue
        if path.is_file() and rel not in wanted:
            path.unlink()
        elif path.is_dir() and not any(path.iterdir()):
            path.rmdir()


class Suites:
    """The scratch build: targets, test programs and what each test depends on."""

    def __init__(self, scratch, e2e, log):
        self.tree = scratch / "tree"
        self.build = self.tree / "build" / "windows"
        self.prefix = scratch / "wine"
        self.log = log
        self.e2e = e2e
        self.env = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8", WINEPREFIX=str(self.prefix))
        self.env.pop("WINEDLLOVERRIDES", None)

    def configure(self):
        query = self.build / ".cmake" / "api" / "v1" / "query" / "codemodel-v2"
        query.parent.mkdir(parents=True, exist_ok=True)
        query.touch()
        # The project's preset, with warnings allowed: a mutant's unused variable is no kill.
        code, _ = run(["cmake", "--preset", "windows", "-DHV_WERROR=OFF"], self.log, cwd=self.tree, env=self.env)
        if code != 0:
            raise SystemExit(f"mutation: configuring the scratch copy failed; see {self.log}")
        self._read_model()
        self._read_tests()

    def _read_model(self):
        reply = self.build / ".cmake" / "api" / "v1" / "reply"
        index = json.loads(max(reply.glob("index-*.json")).read_text())
        model_file = next(o["jsonFile"] for o in index["objects"] if o["kind"] == "codemodel")
        model = json.loads((reply / model_file).read_text())
        targets = {}
        for entry in model["configurations"][0]["targets"]:
            target = json.loads((reply / entry["jsonFile"]).read_text())
            targets[target["id"]] = target
        self.targets = {t["name"]: t for t in targets.values()}
        self.closure = {}
        for target in targets.values():
            seen, todo = set(), [target["id"]]
            while todo:
                tid = todo.pop()
                if tid in seen:
                    continue
                seen.add(tid)
                todo.extend(d["id"] for d in targets[tid].get("dependencies", []))
            self.closure[target["name"]] = {targets[t]["name"] for t in seen}
        self.programs = {}  # executable target name -> path
        for t in self.targets.values():
            if t["type"] == "EXECUTABLE":
                self.programs[t["name"]] = self.build / t["artifacts"][0]["path"]

    def _read_tests(self):
        listed = subprocess.run(["ctest", "--test-dir", str(self.build), "--show-only=json-v1"], check=True,
                                capture_output=True, env=self.env).stdout
        by_path = {path.resolve(): name for name, path in self.programs.items()}
        self.tests = []  # (name, target or None)
        for test in json.loads(listed)["tests"]:
            target = None
            for word in test.get("command", []):
                target = by_path.get(Path(word).resolve(), target)
            self.tests.append((test["name"], target))
        names = [n for n, _ in self.tests]
        if self.e2e not in names:
            raise SystemExit(f"mutation: no test named {self.e2e!r} (tests: {', '.join(names)})")

    def phase(self, e2e):
        """The tests of a phase, the targets to build for them, and the programs they run."""
        tests = [(n, t) for n, t in self.tests if (n == self.e2e) == e2e]
        if any(t is None for _, t in tests):
            targets = sorted(self.programs)  # a test run by a script may start any program
        else:
            targets = sorted({t for _, t in tests})
        programs = {p for t in targets for p in self.closure[t] if p in self.programs}
        return tests, targets, programs

    def programs_of(self, target):
        if target is None:
            return set(self.programs)
        return {p for p in self.closure[target] if p in self.programs}

    def digests(self, programs):
        return {p: program_digest(self.programs[p]) if self.programs[p].exists() else None for p in programs}

    def build_targets(self, targets, log):
        code, seconds = run(["cmake", "--build", "--preset", "windows", "--target", *targets], log, cwd=self.tree,
                            env=self.env)
        return code == 0, seconds

    def start_wine(self):
        """Wine's first start spawns background services; they must not inherit CTest's pipes."""
        if not (self.prefix / "system.reg").exists():
            env = dict(self.env, WINEDLLOVERRIDES="mscoree,mshtml=")
            run(["wineboot", "-i"], None, env=env, timeout=600)
        run(["wine", "cmd", "/c", "exit"], None, env=self.env, timeout=300)

    def run_tests(self, names, timeout, log):
        """Runs the named tests, stopping at the first failure; returns (passed, failed names, seconds, times)."""
        self.start_wine()
        pattern = "^(" + "|".join(re.escape(n) for n in names) + ")$"
        with open(log, "ab") as f:
            f.write(f"\n==== ctest {' '.join(names)}\n".encode())
        mark = log.stat().st_size
        code, seconds = run(["ctest", "--test-dir", str(self.build), "-R", pattern, "--timeout", str(int(timeout)),
                             "--output-on-failure", "--stop-on-failure"], log, env=self.env,
                            timeout=timeout * len(names) + 120)
        with open(log, "rb") as f:
            f.seek(mark)
            output = f.read().decode("utf-8", "replace")
        failed = re.findall(r"^\s*\d+ - (\S+) \(([^)]*)\)", output, re.M)
        times = {name: float(sec) for name, sec in
                 re.findall(r"Test\s+#\d+: (\S+) \.+\**\s*\w+\s+([\d.]+) sec", output)}
        if code is None:
            failed.append(("ctest", "Timeout"))
        elif code != 0 and not failed:
            failed.append(("ctest", f"exit {code}"))
        return not failed, [f"{n} ({why})" for n, why in failed], seconds, times


# --------------------------------------------------------------------------------------
# The run.


@dataclass
class Outcome:
    outcome: str = "not run"
    detail: str = ""
    seconds: float = 0.0
    build_seconds: float = 0.0
    test_seconds: float = 0.0
    changed: list = field(default_factory=list)  # the programs that differ from the original's


class Mutator:
    """Writes mutants into the scratch copy and always puts the original back."""

    def __init__(self, tree):
        self.tree = tree
        self.original = {}

    def apply(self, m):
        path = self.tree / m.file
        if m.file not in self.original:
            self.restore_all()
            self.original[m.file] = path.read_bytes()
        text = self.original[m.file].decode("utf-8", "surrogateescape")
        assert text[m.start:m.end] == m.old, f"{m.key}: the scratch copy differs from the source"
        write_whole(path, (text[:m.start] + m.new + text[m.end:]).encode("utf-8", "surrogateescape"))

    def restore_all(self):
        for rel, data in self.original.items():
            write_whole(self.tree / rel, data)
        self.original.clear()


def write_whole(path, data):
    """Replaces the file in one rename, so an interruption leaves the old or the new file."""
    temporary = path.with_name(path.name + ".mutation-tmp")
    temporary.write_bytes(data)
    os.replace(temporary, path)


def judge(m, suites, baseline, timeouts, log):
    """Builds and tests one mutant already written into the tree."""
    result = Outcome()
    started = time.monotonic()
    for e2e in (False, True):
        tests, targets, programs = suites.phase(e2e)
        ok, seconds = suites.build_targets(targets, log)
        result.build_seconds += seconds
        if not ok:
            result.outcome, result.detail = "stillborn", "does not build"
            break
        changed = {p for p, d in suites.digests(programs).items() if d != baseline[p]}
        result.changed.extend(sorted(changed))
        due = [n for n, t in tests if suites.programs_of(t) & changed]
        if due:
            passed, failed, seconds, _ = suites.run_tests(due, timeouts[e2e], log)
            result.test_seconds += seconds
            if not passed and not any(f.endswith("(Timeout)") for f in failed):
                # A test that fails once under load may pass again: a kill must repeat.
                again = [n for n in due if any(f.startswith(n + " ") for f in failed)] or due
                passed, failed_again, seconds, _ = suites.run_tests(again, timeouts[e2e], log)
                result.test_seconds += seconds
                if passed:
                    result.detail = f"{', '.join(failed)} once, then passed"
                failed = failed_again
            if not passed:
                result.outcome, result.detail = "killed", ", ".join(failed)
                break
    else:
        if not result.changed:
            # The programs are the original's, byte for byte: no test can tell them apart.
            result.outcome, result.detail = "identical", "same programs as the original"
        else:
            result.outcome = "survived"
    result.changed = sorted(set(result.changed))
    result.seconds = time.monotonic() - started
    return result


def print_line(n, total, m, r):
    times = f"{r.seconds:6.1f} s (build {r.build_seconds:.1f}, tests {r.test_seconds:.1f})"
    detail = f" [{r.detail}]" if r.detail else ""
    print(f"[{n:>2}/{total}] {m.id} {m.key:<34} {m.change:<22} {r.outcome:<9} {times}{detail}", flush=True)


def load_equivalent(path):
    """Ids, or file:line or file:line:col keys, one a line; '#' starts a comment."""
    entries = []
    for line in Path(path).read_text().splitlines():
        word = line.split("#", 1)[0].strip().split()
        if word:
            entries.append(word[0])
    return entries


def is_listed(record, entries):
    key = f"{record['file']}:{record['line']}:{record['col']}"
    return any(e == record["id"] or e == key or e == f"{record['file']}:{record['line']}" for e in entries)


def percent(score):
    return "n/a" if score is None else f"{score:.1f}%"


def summarize(result, equivalent):
    records = result["mutants"]
    by = {o: [r for r in records if r["outcome"] == o] for o in
          ("killed", "survived", "stillborn", "identical", "not run")}
    killed, survived = len(by["killed"]), len(by["survived"])
    print()
    print(f"killed {killed}, survived {survived}, stillborn {len(by['stillborn'])}, "
          f"identical programs {len(by['identical'])}" + (f", not run {len(by['not run'])}" if by["not run"] else "") +
          f" (of {len(records)})")
    score = 100.0 * killed / (killed + survived) if killed + survived else None
    print(f"score {percent(score)} ({killed} killed of {killed + survived})")
    summary = {"killed": killed, "survived": survived, "stillborn": len(by["stillborn"]),
               "identical": len(by["identical"]), "not_run": len(by["not run"]), "score": score}
    if equivalent is not None:
        judged = [r for r in by["survived"] if is_listed(r, equivalent)]
        contradicted = [r for r in by["killed"] if is_listed(r, equivalent)]
        rest = killed + survived - len(judged)
        adjusted = 100.0 * killed / rest if rest else None
        print(f"adjusted score {percent(adjusted)} ({killed} killed of {rest}; {len(judged)} survivors judged equivalent)")
        for r in contradicted:
            print(f"  note: {r['id']} {r['file']}:{r['line']} is listed as equivalent but was killed")
        summary.update(equivalent=len(judged), adjusted_score=adjusted)
    survivors = [r for r in by["survived"] if equivalent is None or not is_listed(r, equivalent)]
    if survivors:
        print("\nsurvivors:")
        for r in survivors:
            print(f"  {r['id']} {r['file']}:{r['line']}:{r['col']}  {r['change']}")
            print(f"      before: {r['before'].strip()}")
            print(f"      after:  {r['after'].strip()}")
    times = [r["seconds"] for r in records if r["outcome"] != "not run"]
    if times:
        print(f"\nper mutant: mean {sum(times) / len(times):.1f} s, longest {max(times):.1f} s, "
              f"total {sum(times) / 60:.1f} min")
    return summary


def record_of(m, r=None):
    data = {"id": m.id, "file": m.file, "line": m.line, "col": m.col, "kind": m.kind, "old": m.old, "new": m.new,
            "change": m.change, "before": m.before, "after": m.after, "weight": m.weight}
    data.update(asdict(r or Outcome()))
    return data


def changed_files(rev):
    names = subprocess.run(["git", "-C", str(ROOT), "diff", "--name-only", rev, "--", "src"], check=True,
                           capture_output=True, text=True).stdout.split()
    names += subprocess.run(["git", "-C", str(ROOT), "ls-files", "--others", "--exclude-standard", "--", "src"],
                            check=True, capture_output=True, text=True).stdout.split()
    return names


def select_files(args):
    files = source_files(ROOT)
    if args.changed:
        changed = set(changed_files(args.changed))
        files = [f for f in files if f in changed]
    if args.files:
        def wanted(f):
            return any(fnmatch.fnmatch(f, g) or f == g.rstrip("/") or f.startswith(g.rstrip("/") + "/")
                       for g in args.files)
        files = [f for f in files if wanted(f)]
    return files


def parse_args():
    p = argparse.ArgumentParser(description="Mutation testing of src/ against the test suites.")
    p.add_argument("--seed", type=int, default=DEFAULT_SEED, help=f"sample seed (default {DEFAULT_SEED})")
    p.add_argument("--count", type=int, default=DEFAULT_COUNT, help=f"mutants to sample (default {DEFAULT_COUNT})")
    p.add_argument("--files", nargs="+", metavar="GLOB", help="only these source files (globs or folders)")
    p.add_argument("--changed", metavar="REV", help="only the src/ files changed since REV")
    p.add_argument("--ids", nargs="+", metavar="ID", help="exactly these mutants (ids as printed), no sample")
    p.add_argument("--list", action="store_true", help="print the sample and the candidate counts; run nothing")
    p.add_argument("--timeout", type=float, help="seconds one test program may run (default: from the first run)")
    p.add_argument("--equivalent", metavar="FILE", help="survivors judged equivalent: ids or file:line[:col] keys")
    p.add_argument("--keep", action="store_true", help="keep the scratch copy (its path is printed)")
    p.add_argument("--scratch", metavar="DIR", help="use (and keep) this scratch folder; a kept one builds faster")
    p.add_argument("--json", metavar="FILE", default=str(ROOT / "build" / "mutation" / "result.json"),
                   help="where the result goes (default build/mutation/result.json)")
    p.add_argument("--report", action="store_true", help="print the summary of the --json result again; run nothing")
    p.add_argument("--e2e", default="e2e", help="the end-to-end test's name (default e2e)")
    return p.parse_args()


def main():
    args = parse_args()
    equivalent = load_equivalent(args.equivalent) if args.equivalent else None
    if args.report:
        summarize(json.loads(Path(args.json).read_text()), equivalent)
        return 0

    files = select_files(args)
    candidates = collect(ROOT, files)
    counts = {k: sum(1 for m in candidates if m.kind == k) for k in CLASSES}
    weighted = {k: sum(m.weight for m in candidates if m.kind == k) for k in CLASSES}
    print(f"candidates: {len(candidates)} in {len(files)} files (" +
          ", ".join(f"{k} {counts[k]}" + (f" [{weighted[k]:.0f} weighted]" if weighted[k] < counts[k] - 0.5 else "")
                    for k in CLASSES) + ")")
    if args.ids:
        chosen = [m for m in candidates if m.id in args.ids]
        missing = sorted(set(args.ids) - {m.id for m in chosen})
        if missing:
            print(f"mutation: no such mutant: {' '.join(missing)}")
            return 2
        print(f"chosen: {len(chosen)}")
    else:
        chosen = sample(candidates, args.count, args.seed)
        print(f"sample: {len(chosen)}, seed {args.seed}")
    if args.list:
        for n, m in enumerate(chosen, 1):
            print(f"[{n:>2}] {m.id} {m.key:<34} {m.kind:<10} {m.change}")
            print(f"       {m.before.strip()}\n    -> {m.after.strip()}")
        return 0
    if not chosen:
        print("mutation: nothing to mutate")
        return 0
    if not os.environ.get("DISPLAY"):
        print("mutation: no DISPLAY, so the message-box test skips (scripts/mutation.sh starts a display)")

    scratch = Path(args.scratch).resolve() if args.scratch else Path(tempfile.mkdtemp(prefix="hv-mutation-"))
    keep = args.keep or bool(args.scratch)
    (scratch / "tree").mkdir(parents=True, exist_ok=True)
    log_dir = scratch / "logs"
    log_dir.mkdir(exist_ok=True)
    log = log_dir / "setup.log"
    log.write_bytes(b"")
    mutator = Mutator(scratch / "tree")
    result = {"seed": args.seed, "count": args.count, "files": files, "candidates": counts,
              "started": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()), "mutants": [record_of(m) for m in chosen]}
    json_path = Path(args.json)
    json_path.parent.mkdir(parents=True, exist_ok=True)

    def on_term(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, signal.default_int_handler)  # also when started with SIGINT ignored
    interrupted = False
    try:
        print(f"scratch copy: {scratch}" + ("" if keep else " (removed at the end; --keep keeps it)"), flush=True)
        sync_tree(ROOT, scratch / "tree")
        suites = Suites(scratch, args.e2e, log)
        suites.configure()
        unit_tests, unit_targets, unit_programs = suites.phase(False)
        e2e_tests, e2e_targets, e2e_programs = suites.phase(True)
        started = time.monotonic()
        ok, build_seconds = suites.build_targets(sorted(set(unit_targets + e2e_targets)), log)
        if not ok:
            raise SystemExit(f"mutation: the unmutated tree does not build; see {log}")
        baseline = suites.digests(unit_programs | e2e_programs)
        # The unmutated tree must pass, or every mutant would look killed; a kept scratch copy
        # whose programs are those that passed last time need not show it again.
        passed_file = scratch / "passed.json"
        times = {}
        if passed_file.exists() and json.loads(passed_file.read_text()).get("digests") == baseline:
            times = json.loads(passed_file.read_text())["times"]
            print("unmutated tree: the same programs as passed last time")
        else:
            for e2e, tests in ((False, unit_tests), (True, e2e_tests)):
                names = [n for n, _ in tests]
                passed, failed, _, t = suites.run_tests(names, args.timeout or 900, log)
                if not passed:
                    print(f"unmutated tree: {', '.join(failed)}; running it again")
                    passed, failed, _, t = suites.run_tests(names, args.timeout or 900, log)
                times.update(t)
                if not passed:
                    raise SystemExit(f"mutation: the unmutated tree fails {', '.join(failed)}; see {log}")
            passed_file.write_text(json.dumps({"digests": baseline, "times": times}))
        unit_slowest = max([times.get(n, 0.0) for n, _ in unit_tests] or [0.0])
        timeouts = {False: args.timeout or max(60.0, 5 * unit_slowest),
                    True: args.timeout or max(120.0, 3 * times.get(args.e2e, 0.0))}
        result["baseline"] = {"build_seconds": build_seconds, "test_seconds": times,
                              "seconds": time.monotonic() - started, "timeouts": {"unit": timeouts[False],
                                                                                  "e2e": timeouts[True]}}
        print(f"unmutated tree: ready in {time.monotonic() - started:.0f} s "
              f"(unit suites {sum(times.get(n, 0.0) for n, _ in unit_tests):.0f} s, "
              f"{args.e2e} {times.get(args.e2e, 0.0):.0f} s); time-outs {timeouts[False]:.0f} s / "
              f"{timeouts[True]:.0f} s a test program", flush=True)

        for n, m in enumerate(chosen, 1):
            mutant_log = log_dir / f"{n:02d}-{m.id}.log"
            mutant_log.write_bytes(f"{m.key} {m.change}\n- {m.before}\n+ {m.after}\n".encode())
            mutator.apply(m)
            r = judge(m, suites, baseline, timeouts, mutant_log)
            result["mutants"][n - 1] = record_of(m, r)
            print_line(n, len(chosen), m, r)
            json_path.write_text(json.dumps(result, indent=1))
    except KeyboardInterrupt:
        interrupted = True
        print("\nmutation: interrupted; the original files are put back")
    finally:
        mutator.restore_all()
    result["interrupted"] = interrupted
    result["summary"] = summarize(result, equivalent)
    json_path.write_text(json.dumps(result, indent=1))
    print(f"result: {json_path}")
    if keep:
        print(f"scratch copy kept: {scratch} (logs in {log_dir})")
    else:
        shutil.rmtree(scratch, ignore_errors=True)
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
