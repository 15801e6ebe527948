#!/usr/bin/env python3
"""How tools/mutate.py matches the entries of its equivalent-mutant list to mutants (by text,
by the occurrence of the text among the file's lines, and by mutant id), which files a folder
given to it stands for, and which tests guard a file of the system or of the layer."""
import os, sys, tempfile, unittest

# The tool sits beside this file; importing it leaves no compiled copy in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutate  # noqa: E402

# Three lines of one file with the same text, and one with another.
LINES = ((10, "break;"), (14, "next();"), (20, "break;"), (31, "break; // end"))
MUTANTS = [{"id": f"input/keys.cpp:{line}:0", "file": "input/keys.cpp", "line": line,
            "text": text, "description": "remove statement"} for line, text in LINES]


def listed(*lines, mutants=MUTANTS):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("# comment | not | an | entry\n\n" + "\n".join(lines) + "\n")
    try:
        return mutate.equivalent_reasons(mutants, mutate.load_equivalents(f.name))
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

    def test_layer_files_in_nested_folders_are_named_alike(self):
        path = "platform/backends/sdl/window.cpp"
        mutants = [{"id": f"{path}:7:{n}", "file": path, "line": 7, "text": "if (a < b + 1)",
                    "description": d} for n, d in enumerate(("'<' -> '<='", "1 -> 2"))]
        reasons, unmatched = listed(f"{path}:7:1 | b + 1 | 1 -> 2 | by id",
                                    f"{path} | a < b | '<' -> '<=' | by text",
                                    "platform/backends/window.cpp | a < b | '<' -> '<=' | other",
                                    mutants=mutants)
        self.assertEqual(reasons, {f"{path}:7:0": "by text", f"{path}:7:1": "by id"})
        self.assertEqual(unmatched, [])


class FilesAndTests(unittest.TestCase):
    def test_a_folder_stands_for_the_sources_and_headers_under_it(self):
        with tempfile.TemporaryDirectory() as folder:
            for name in ("b.cpp", "a.h", "notes.txt", "sdl/z.cpp", "sdl/deeper/y.h",
                         "CMakeLists.txt"):
                os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                open(os.path.join(folder, name), "w").close()
            single = os.path.join(folder, "notes.txt")
            found = mutate.source_files([folder, single])
            expected = ["a.h", "b.cpp", "sdl/z.cpp", "sdl/deeper/y.h", "notes.txt"]
            self.assertEqual(found, [os.path.relpath(os.path.join(folder, n), mutate.ROOT)
                                     for n in expected])

    def test_layer_files_also_meet_the_entry_point_test(self):
        system = mutate.tests_for("graphics/scene.cpp")
        layer = mutate.tests_for("platform/win32/entry.cpp")
        self.assertEqual(system, mutate.SYSTEM_TESTS)
        self.assertEqual(layer, mutate.SYSTEM_TESTS + [mutate.ENTRY_TEST])
        # Only the layer's own folder is the layer.
        self.assertEqual(mutate.tests_for("platformer/level.cpp"), mutate.SYSTEM_TESTS)
        # Only GoogleTest programs are given GoogleTest's options; the entry point's test
        # checks that it is given exactly its own arguments.
        self.assertEqual(mutate.ENTRY_TEST, ["entry_test", "one", "two words", "three"])
        for program in mutate.SYSTEM_TESTS:
            self.assertIn("--gtest_fail_fast", program)

    def test_the_tests_of_several_files_are_run_once_each(self):
        commands = mutate.tests_for_all(["sim/track.cpp", "platform/common/codepage.cpp",
                                         "platform/d3d9/d3d9_device.cpp"])
        self.assertEqual(commands, mutate.SYSTEM_TESTS + [mutate.ENTRY_TEST])
        self.assertEqual(mutate.tests_for_all(["sim/track.cpp", "app/app_state.cpp"]),
                         mutate.SYSTEM_TESTS)


if __name__ == "__main__":
    unittest.main()
