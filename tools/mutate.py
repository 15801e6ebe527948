#!/usr/bin/env python3
"""Mutation testing of the system's own code (app/, graphics/, sim/, input/, audio/) and of
the platform layer (platform/: its API folders, backends and contracts).

Changes one thing at a time in a source file: a comparison or logical operator, a numeric
constant, an arithmetic operator or sign, a boolean argument or the order of two arguments,
the order of two adjacent statements, a text literal, or a removed statement. After each
change it rebuilds the fast test programs in build/mutate (-O1, ccache, lld when there) and
runs them: varnel_tests without the end-to-end suites that start the real programs or Wine,
the program's WinMain with its calls recorded (win_main_test) and the four deliverable device
tests. A file of the layer is guarded by the same programs, which hold the layer's API tests
and reach the layer through the system, and by the Linux entry point's own test (entry_test).
A mutant is "killed" when a test fails, crashes or runs past the time limit, "survived" when
all pass, and "invalid" when it does not compile.
Mutants listed in tools/mutate-equivalent.txt cannot change behaviour and are not run.
An entry there names a mutant by its file, a text of its line and its change; where that text
is on several changed lines of the file, either " (occurrence N)" after the text (the Nth of
those lines from the top) or the mutant's id in place of the file (file:line:n) names the one
meant. An entry that matches no mutant of the files tried is reported, so that a stale one is
seen and mended.

The changed file is always restored, also on Ctrl-C or SIGTERM; a copy is kept in
build/mutate/backup until then, and a later run puts back any copy a killed run left behind.
Mutant ids (file:line:n) stay the same while the file does, so `--only ID` re-runs one.

A folder given to --files stands for the sources and headers under it, so that
"--files platform/d3d9" mutates an API folder and "--files platform/backends" every backend and
contract.

Usage: tools/mutate.py [--files F ...] [--sample N --seed S] [--time-limit MIN] [--jobs J]
                       [--only ID ... | --only @FILE] [--list] [--survivors FILE]
With --jobs J > 1, workers 2..J use copies of the sources in build/mutate-copy<n>.
Python 3 standard library only; needs an X display (re-runs itself under with-display.sh).
"""
import argparse, os, random, re, shutil, signal, subprocess, sys, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SYSTEM_DIRS = ("app", "graphics", "sim", "input", "audio")
EQUIVALENT_LIST = os.path.join(ROOT, "tools", "mutate-equivalent.txt")
# Suites of varnel_tests that start the real programs or the Windows build under Wine.
E2E_SUITES = ("DamagedData", "BadData", "OverlayInputEndToEnd", "ProgramStartUp",
              "ProgramShutdown", "ProgramPicture", "SoundEndToEnd", "WindowsProgramUnderWine")
# One deliverable device test a program of programs.txt, named as tests/CMakeLists.txt names it.
with open(os.path.join(ROOT, "programs.txt"), encoding="utf-8") as _rows:
    DELIVERABLES = tuple(row.split()[0].removeprefix("varnel-").replace("-", "_")
                         for row in _rows if row.strip() and not row.startswith("#"))
LAYER_DIR = "platform"
# The fast test programs, each as the target that builds it and its arguments; GoogleTest
# programs stop at their first failure.
GTEST = ["--gtest_fail_fast", "--gtest_brief=1"]
FAST_FILTER = "--gtest_filter=-" + ":".join("*" + s + ".*" for s in E2E_SUITES)
SYSTEM_TESTS = ([["varnel_tests", FAST_FILTER] + GTEST, ["win_main_test"] + GTEST] +
                [["deliverable_device_test_" + d] + GTEST for d in DELIVERABLES])
# main() of platform/win32/entry.cpp, which only the programs and this test link, under the
# arguments the test checks.
ENTRY_TEST = ["entry_test", "one", "two words", "three"]


def tests_for(path):
    """The test programs that guard a file (given relative to the checkout)."""
    return SYSTEM_TESTS + ([ENTRY_TEST] if path.split("/")[0] == LAYER_DIR else [])


def tests_for_all(paths):
    """The test programs that guard any of the files, each once, in a fixed order."""
    commands = []
    for path in paths:
        commands += [c for c in tests_for(path) if c not in commands]
    return commands


def source_files(paths):
    """The files named, relative to the checkout, each folder among them replaced by the
    C++ sources and headers under it."""
    files = []
    for path in paths:
        full = os.path.abspath(path)
        if not os.path.isdir(full):
            files.append(os.path.relpath(full, ROOT))
            continue
        for base, folders, names in os.walk(full):
            folders.sort()
            files += sorted(os.path.relpath(os.path.join(base, n), ROOT) for n in names
                            if n.endswith((".cpp", ".h")))
    return files

# ---- Finding mutants ---------------------------------------------------------------------

STRING = re.compile(r'"(?:[^"\\]|\\.)*"|\'(?:[^\'\\]|\\.)*\'')
NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+\.\d*(?:[eE][-+]?\d+)?|\d+)([uUlLfF]*)(?![\w.])")
BINARY = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">", "&&": "||",
          "||": "&&", "+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=",
          "*=": "/=", "/=": "*="}
OPERATOR = re.compile(r"(?<= )(==|!=|<=|>=|&&|\|\||\+=|-=|\*=|/=|<|>|\+|-|\*|/)(?= |$)")
UNARY = re.compile(r"(?<=[(=,\[ ])(-|!)(?=[\w(])")
STEP = re.compile(r"\+\+|--")
BOOLS = {"true": "false", "false": "true", "TRUE": "FALSE", "FALSE": "TRUE"}
BOOL = re.compile(r"\b(true|false|TRUE|FALSE)\b")
DECLARATION = re.compile(r"^(const |static |constexpr )*[\w:<>]+[\s*&]+\w+\s*[=;({\[]")
ASSIGNMENT = re.compile(r"^\s*(?:([\w.\[\]>-]+) [-+*/]?= ([^;]*)|(?:\+\+|--)([\w.]+));$")
PURE_CALL = re.compile(r"\b(sizeof|std::(cos|sin|sqrt|asin|pow|fmod|log))\s*\(")
KEYWORDS = ("return", "delete", "case", "default", "using", "typedef", "static_assert", "goto",
            "enum", "struct", "class", "friend", "extern", "namespace", "template")
# The first line of a function definition or declaration: its parameters are no arguments.
SIGNATURE = re.compile(r"^[\w:<>*&~\s]*\(")


def masked(code):
    """The line with the contents of its string and character literals blanked."""
    return STRING.sub(lambda m: m.group(0)[0] + "_" * (len(m.group(0)) - 2) + m.group(0)[0], code)


def code_lines(text):
    """(index, code without comment) of each line outside block comments and directives."""
    in_block = False
    for i, line in enumerate(text.split("\n")):
        if in_block:
            in_block = "*/" not in line
            continue
        m = masked(line)
        if m.lstrip().startswith("#"):
            continue
        if "/*" in m.split("//")[0]:
            in_block = "*/" not in m
            continue
        cut = m.find("//")
        yield i, line if cut < 0 else line[:cut]


def blocks(stack, code):
    """Follows the braces of a line: pushes True for a code block, False for a class,
    enum, namespace or initialiser; returns whether the line starts inside code."""
    inside = bool(stack) and stack[-1]
    m = masked(code)
    for i, c in enumerate(m):
        if c == "{":
            stack.append(not re.search(r"\b(struct|class|enum|namespace|union|extern)\b|=\s*$", m[:i]))
        elif c == "}" and stack:
            stack.pop()
    return inside


def is_statement(code, previous, inside=True):
    """A whole statement on one line inside a function body, not a declaration or return."""
    s = code.strip()
    after = previous.strip().endswith((";", "{", "}")) or previous.strip().startswith("case ")
    return (inside and s.endswith(";") and after
            and masked(s).count("(") == masked(s).count(")") and not s.startswith(KEYWORDS)
            and not DECLARATION.match(s) or s in ("break;", "continue;"))


def indent(code):
    return len(code) - len(code.lstrip())


def independent(first, second):
    """Two assignments that call nothing but arithmetic, neither reading what the other
    writes: their order cannot matter."""
    a, b = (ASSIGNMENT.match(PURE_CALL.sub("(", masked(s))) for s in (first, second))
    if not (a and b):
        return False
    (wa, ra), (wb, rb) = ((m.group(1) or m.group(3), m.group(2) or "") for m in (a, b))
    return wa != wb and wa not in rb and wb not in ra and not re.search(r"[\w>]\s*\(", ra + rb)


def numeric_change(text, suffix):
    if text.lower().startswith("0x"):
        return hex(int(text, 16) + 1) + suffix
    if "." in text:
        value = float(text)
        return repr(value * 2 if value else 1.0) + suffix
    return str(int(text) + 1) + suffix


def arguments(code):
    """(start, end) spans of the top-level arguments of each call wholly on the line."""
    spans, stack = [], []
    for i, c in enumerate(masked(code)):
        if c in "({":
            stack.append([i + 1])
        elif c == "," and stack:
            stack[-1].append(i + 1)
        elif c in ")}" and stack:
            starts = stack.pop()
            ends = [s - 1 for s in starts[1:]] + [i]
            spans.append(list(zip(starts, ends)))
    return spans


def line_mutants(code, previous, following, inside):
    """(mutated code, description) of each single change to one line of code."""
    m = masked(code)
    out = []
    for x in OPERATOR.finditer(m):
        out.append((code[:x.start()] + BINARY[x.group(1)] + code[x.end():],
                    f"'{x.group(1)}' -> '{BINARY[x.group(1)]}'"))
    for x in UNARY.finditer(m):
        out.append((code[:x.start()] + code[x.end():], f"remove unary '{x.group(1)}'"))
    for x in STEP.finditer(m):
        other = "--" if x.group(0) == "++" else "++"
        out.append((code[:x.start()] + other + code[x.end():], f"'{x.group(0)}' -> '{other}'"))
    for x in NUMBER.finditer(m):
        new = numeric_change(x.group(1), x.group(2))
        out.append((code[:x.start()] + new + code[x.end():], f"{x.group(0)} -> {new}"))
    for x in BOOL.finditer(m):
        out.append((code[:x.start()] + BOOLS[x.group(1)] + code[x.end():],
                    f"{x.group(1)} -> {BOOLS[x.group(1)]}"))
    for x in STRING.finditer(code):
        if x.group(0)[0] != '"':
            continue
        parts = re.findall(r"\\x[0-9a-fA-F]+|\\.|.", x.group(0)[1:-1])
        new = '"' + "".join(parts[:-1]) + '"' if parts else '"x"'
        out.append((code[:x.start()] + new + code[x.end():], f"{x.group(0)} -> {new}"))
    for call in [] if SIGNATURE.match(m) and not inside else arguments(code):
        for (a0, a1), (b0, b1) in zip(call, call[1:]):
            a, b = code[a0:a1].strip(), code[b0:b1].strip()
            if a and b and a != b and "=" not in a + b:
                swapped = code[:a0] + code[a0:a1].replace(a, b, 1) + code[a1:b0] + \
                    code[b0:b1].replace(b, a, 1) + code[b1:]
                out.append((swapped, f"swap arguments '{a}' and '{b}'"))
    if is_statement(code, previous, inside):
        out.append(("", "remove statement"))
        if following is not None and is_statement(following, code) and \
                following.strip() != code.strip() and indent(following) == indent(code) and \
                not independent(code, following):
            out.append((None, "swap with next statement"))
    return out


def find_mutants(path):
    """Every mutant of one file: dicts with id, file, line (1-based), text and description."""
    with open(os.path.join(ROOT, path), encoding="latin-1") as f:
        text = f.read()
    lines = text.split("\n")
    code = dict(code_lines(text))
    mutants, seen, previous, stack = [], set(), "{", []
    for i in sorted(code):
        inside = blocks(stack, code[i])
        following = code.get(i + 1) if code.get(i + 1, "").strip() else None
        changes = line_mutants(code[i], previous, following, inside)
        names = [d for _, d in changes]
        for n, (new, description) in enumerate(changes):
            if names.count(description) > 1:  # the same change at several places of the line
                description += f" (#{names[:n + 1].count(description)})"
            changed = list(lines)
            if new is None:  # swap with the next line
                changed[i], changed[i + 1] = lines[i + 1], lines[i]
            else:
                changed[i] = new + lines[i][len(code[i]):]
            result = "\n".join(changed)
            if result != text and result not in seen:
                seen.add(result)
                mutants.append({"id": f"{path}:{i + 1}:{n}", "file": path, "line": i + 1,
                                "text": lines[i].strip(), "description": description,
                                "source": result})
        previous = code[i] if code[i].strip() else previous
    return mutants


MUTANT_ID = re.compile(r"^(.+):(\d+):(\d+)$")
OCCURRENCE = re.compile(r"^(.*) \(occurrence (\d+)\)$")


def load_equivalents(path=EQUIVALENT_LIST):
    """Entries of the equivalent-mutant list: dicts with file, id (or None), text,
    occurrence (or None), description and reason."""
    entries = []
    if not os.path.exists(path):
        return entries
    with open(path, encoding="utf-8") as f:
        content = f.read()
    for number, line in enumerate(content.split("\n"), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = [p.strip() for p in line.split(" | ", 3)]
        if len(fields) != 4:
            sys.exit(f"{path}:{number}: not 'file | text | change | why'")
        where, text, description, reason = fields
        named = MUTANT_ID.match(where)
        nth = OCCURRENCE.match(text)
        entries.append({"file": named.group(1) if named else where,
                        "id": where if named else None,
                        "text": nth.group(1) if nth else text,
                        "occurrence": int(nth.group(2)) if nth else None,
                        "description": description, "reason": reason, "line": number})
    return entries


def matches(entry, mutant, lines):
    """Whether the entry names the mutant; lines maps each line number of the mutant's file
    that carries a mutant to its text."""
    if (entry["file"] != mutant["file"] or entry["text"] not in mutant["text"]
            or entry["description"] != mutant["description"]
            or entry["id"] not in (None, mutant["id"])):
        return False
    if entry["occurrence"] is None:
        return True
    holding = [n for n in sorted(lines) if entry["text"] in lines[n]]
    return holding.index(mutant["line"]) + 1 == entry["occurrence"]


def equivalent_reasons(mutants, entries):
    """The reason of each listed mutant by id, and the entries that match none of them."""
    lines = {}
    for m in mutants:
        lines.setdefault(m["file"], {})[m["line"]] = m["text"]
    reasons, used = {}, set()
    for m in mutants:
        for n, entry in enumerate(entries):
            if matches(entry, m, lines[m["file"]]):
                reasons.setdefault(m["id"], entry["reason"])
                used.add(n)
    return reasons, [e for n, e in enumerate(entries) if n not in used and e["file"] in lines]

# ---- Building and running ----------------------------------------------------------------


class Worker:
    """A source tree and its build folder; worker 0 is the checkout itself."""

    def __init__(self, number):
        # A copy keeps the checkout's layout, so that ccache finds what the first one built.
        self.src = ROOT if number == 0 else os.path.join(ROOT, "build", f"mutate-copy{number}")
        self.build = os.path.join(self.src, "build", "mutate")
        self.backup = os.path.join(self.build, "backup")
        if number:
            # Every folder of the checkout but the build output: the build reads them all.
            folders = [d for d in sorted(os.listdir(ROOT)) if d != "build" and
                       not d.startswith(".") and os.path.isdir(os.path.join(ROOT, d))]
            for d in folders:
                shutil.rmtree(os.path.join(self.src, d), ignore_errors=True)
                shutil.copytree(os.path.join(ROOT, d), os.path.join(self.src, d))
            shutil.copy(os.path.join(ROOT, "CMakeLists.txt"), self.src)

    def restore_leftovers(self):
        for base, _, names in os.walk(self.backup):
            for name in names:
                kept = os.path.join(base, name)
                path = os.path.join(self.src, os.path.relpath(kept, self.backup))
                print(f"mutate: restoring {path} left changed by an earlier run")
                shutil.copy(kept, path)
                os.remove(kept)

    def configure(self):
        if os.path.exists(os.path.join(self.build, "build.ninja")):
            return
        flags = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O1",
                 "-DCMAKE_C_FLAGS_DEBUG=-O1"]
        if shutil.which("ccache"):
            flags += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        if shutil.which("ld.lld"):
            flags.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
        subprocess.run(["cmake", "-S", self.src, "-B", self.build] + flags, check=True,
                       stdout=subprocess.DEVNULL)

    def build_tests(self, commands):
        targets = [c[0] for c in commands]
        return subprocess.run(["ninja", "-C", self.build] + targets, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True).returncode == 0

    def run_tests(self, commands, timeout):
        """'passed', 'failed' or 'timeout'; stops at the first failing test."""
        env = dict(os.environ, VARNEL_UNATTENDED="1", ALSOFT_DRIVERS="null")
        deadline = time.monotonic() + timeout
        for program, *arguments in commands:
            try:
                result = subprocess.run(["./" + program] + arguments, cwd=self.build, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        timeout=max(1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                return "timeout"
            if result.returncode != 0:
                return "failed"
        return "passed"

    def try_mutant(self, mutant, timeout):
        path = os.path.join(self.src, mutant["file"])
        kept = os.path.join(self.backup, mutant["file"])
        os.makedirs(os.path.dirname(kept), exist_ok=True)
        shutil.copy(path, kept)
        try:
            with open(path, "w", encoding="latin-1", newline="") as f:
                f.write(mutant["source"])
            commands = tests_for(mutant["file"])
            if not self.build_tests(commands):
                return "invalid"
            return {"passed": "survived", "failed": "killed", "timeout": "timeout"}[
                self.run_tests(commands, timeout)]
        finally:
            shutil.copy(kept, path)
            os.remove(kept)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0], fromfile_prefix_chars="@")
    parser.add_argument("--files", nargs="*",
                        help="files or folders to mutate (default: every system file)")
    parser.add_argument("--sample", type=int, help="mutate only this many, drawn at random")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    parser.add_argument("--time-limit", type=float, default=60, help="minutes in all (default 60)")
    parser.add_argument("--jobs", type=int, default=1, help="mutants tried at once (default 1)")
    parser.add_argument("--only", nargs="*", help="mutant ids to try (@FILE: one a line)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--survivors", help="also write the survivors to this file")
    args = parser.parse_args()
    if not args.list and not os.environ.get("DISPLAY") and not os.environ.get("MUTATE_INNER"):
        os.environ["MUTATE_INNER"] = "1"
        os.execv(os.path.join(ROOT, "tools", "with-display.sh"),
                 ["with-display.sh", sys.executable] + sys.argv)

    files = source_files(args.files) if args.files else \
        sorted(source_files(os.path.join(ROOT, d) for d in SYSTEM_DIRS))
    mutants = [m for f in files for m in find_mutants(f)]
    reasons, unmatched = equivalent_reasons(mutants, load_equivalents())
    for e in unmatched:
        print(f"mutate: {os.path.relpath(EQUIVALENT_LIST, ROOT)}:{e['line']} matches no mutant")
    if args.only:
        mutants = [m for m in mutants if m["id"] in args.only]
    skipped = [m for m in mutants if m["id"] in reasons]
    mutants = [m for m in mutants if m["id"] not in reasons]
    if args.sample and args.sample < len(mutants):
        mutants = random.Random(args.seed).sample(mutants, args.sample)
    # Headers last: a changed header rebuilds every file that includes it.
    order = {m["id"]: n for n, m in enumerate(mutants)}
    mutants.sort(key=lambda m: (m["file"].endswith(".h"), m["file"], m["line"], order[m["id"]]))
    if args.list:
        for m in mutants:
            print(f"{m['id']}  {m['description']}  [{m['text']}]")
        print(f"{len(mutants)} mutants, {len(skipped)} equivalent ones left out")
        return 0
    for s in (signal.SIGINT, signal.SIGTERM):
        signal.signal(s, signal.default_int_handler)
    os.environ.setdefault("CCACHE_BASEDIR", ROOT)
    workers = [Worker(n) for n in range(max(1, args.jobs))]
    for w in workers:
        w.restore_leftovers()
        w.configure()
        commands = tests_for_all(m["file"] for m in mutants)
        built = w.build_tests(commands)
        started = time.monotonic()
        if not built or w.run_tests(commands, 600) != "passed":
            print(f"mutate: the unchanged tests do not build and pass in {w.build}")
            return 2
    timeout = 3 * (time.monotonic() - started) + 10
    print(f"mutate: {len(mutants)} mutants, test time limit {timeout:.0f} s each, "
          f"{len(skipped)} equivalent ones left out")

    stop_at = time.monotonic() + args.time_limit * 60
    queue, results, lock = list(mutants), [], threading.Lock()

    def work(w):
        while time.monotonic() < stop_at:
            with lock:
                if not queue:
                    return
                m = queue.pop(0)
            outcome = w.try_mutant(m, timeout)
            with lock:
                results.append((m, outcome))
                print(f"[{len(results)}/{len(mutants)}] {outcome:8} {m['id']}  "
                      f"{m['description']}  [{m['text']}]", flush=True)

    threads = [threading.Thread(target=work, args=(w,), daemon=True) for w in workers[1:]]
    for t in threads:
        t.start()
    try:
        work(workers[0])
        for t in threads:
            t.join()
    except KeyboardInterrupt:
        print("mutate: interrupted")
        stop_at = 0
        for t in threads:
            t.join()

    count = {k: sum(1 for _, o in results if o == k) for k in ("killed", "timeout", "survived", "invalid")}
    valid = count["killed"] + count["timeout"] + count["survived"]
    killed = count["killed"] + count["timeout"]
    survivors = sorted((m for m, o in results if o == "survived"), key=lambda m: (m["file"], m["line"]))
    lines = [f"{m['file']}:{m['line']}: {m['description']}  [{m['text']}]  ({m['id']})" for m in survivors]
    print("\nSurvivors:\n" + "\n".join(lines) if lines else "\nNo survivors.")
    if args.survivors:
        with open(args.survivors, "w") as f:
            f.write("\n".join(lines) + "\n")
    print(f"\nTried {len(results)} of {len(mutants)} mutants ({len(skipped)} equivalent not run); "
          f"invalid (do not compile): {count['invalid']}")
    if valid:
        print(f"Killed {killed}/{valid} ({count['timeout']} by timeout): "
              f"score {100.0 * killed / valid:.1f}%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
