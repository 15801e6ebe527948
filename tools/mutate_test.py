#!/usr/bin/env python3
"""How tools/mutate.py matches the entries of its equivalent-mutant list to mutants: by text,
by the occurrence of the text among the file's lines, and by mutant id."""
import os, sys, tempfile, unittest

# The tool sits beside this file; importing it leaves no compiled copy in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutate  # noqa: E402

# Three lines of one file with the same text, and one with another.
LINES = ((10, "break;"), (14, "next();"), (20, "break;"), (31, "break; // end"))
MUTANTS = [{"id": f"input/keys.cpp:{line}:0", "file": "input/keys.cpp", "line": line,
            "text": text, "description": "remove statement"} for line, text in LINES]


def listed(*lines):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("# comment | not | an | entry\n\n" + "\n".join(lines) + "\n")
    try:
        return mutate.equivalent_reasons(MUTANTS, mutate.load_equivalents(f.name))
    finally:
        os.remove(f.name)


class EquivalentListMatching(unittest.TestCase):
    def test_text_matches_every_line_that_contains_it(self):
        reasons, unmatched = listed("input/keys.cpp | break; | remove statement | why")
        self.assertEqual(sorted(reasons), ["input/keys.cpp:10:0", "input/keys.cpp:20:0",
                                           "input/keys.cpp:31:0"])
        self.assertEqual(unmatched, [])

    def test_occurrence_names_one_of_those_lines(self):
        reasons, _ = listed("input/keys.cpp | break; (occurrence 2) | remove statement | second",
                            "input/keys.cpp | break; (occurrence 3) | remove statement | third")
        self.assertEqual(reasons, {"input/keys.cpp:20:0": "second", "input/keys.cpp:31:0": "third"})

    def test_id_names_one_mutant_while_its_line_still_has_the_text(self):
        reasons, unmatched = listed("input/keys.cpp:20:0 | break; | remove statement | by id",
                                    "input/keys.cpp:14:0 | break; | remove statement | moved")
        self.assertEqual(reasons, {"input/keys.cpp:20:0": "by id"})
        self.assertEqual([e["reason"] for e in unmatched], ["moved"])

    def test_change_and_file_must_match(self):
        reasons, unmatched = listed("input/keys.cpp | next(); | swap with next statement | a",
                                    "input/other.cpp | next(); | remove statement | b",
                                    "input/keys.cpp | break; (occurrence 4) | remove statement | c")
        self.assertEqual(reasons, {})
        # Entries of files that were not tried are not reported.
        self.assertEqual([e["reason"] for e in unmatched], ["a", "c"])


if __name__ == "__main__":
    unittest.main()
