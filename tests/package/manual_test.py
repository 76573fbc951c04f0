#!/usr/bin/env python3
"""Keeps the manual pages true to the program: the options each command's --help shows are the ones
its part of rowsmith-cli(1) describes, both ways; the exit statuses are the program's; the pages
render without a warning; and every file that states the version states the project's.

Environment: ROWSMITH_CLI (the program), ROWSMITH_SOURCE_DIR (the source tree)."""

import os
import re
import shutil
import subprocess
import sys
import unittest

CLI = os.environ.get("ROWSMITH_CLI", "rowsmith-cli")
SOURCE = os.environ.get("ROWSMITH_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
MAN_DIR = os.path.join(SOURCE, "docs", "man")


def run_help(*args):
    done = subprocess.run([CLI, *args, "--help"], capture_output=True, text=True, check=True)
    return done.stdout


def help_options(text):
    """The long options of a --help text (option lines begin with two spaces, a short form may come first)."""
    options = set()
    for line in text.splitlines():
        m = re.match(r"^  (?:-[A-Za-z],)?(--[a-z0-9][a-z0-9-]*)", line)
        if m:
            options.add(m.group(1))
    return options


def help_commands(text):
    block = re.search(r"^Subcommands:\n(.*?)(?:\n\n|\Z)", text, re.S | re.M)
    return [m.group(1) for m in re.finditer(r"^  ([a-z][a-z0-9-]*)\s", block.group(1), re.M)] if block else []


def read_page(name):
    with open(os.path.join(MAN_DIR, name), encoding="utf-8") as f:
        return f.read()


def sections(page, macro):
    """{title: body} for every .SH (or .SS) of the text."""
    parts = re.split(r"^\.%s +(.*)$" % macro, page, flags=re.M)
    return {parts[i].strip().strip('"'): parts[i + 1] for i in range(1, len(parts) - 1, 2)}


def page_options(roff):
    return set(m.replace("\\-", "-") for m in re.findall(r"\\-\\-[a-z0-9](?:[a-z0-9]|\\-)*", roff))


def synopsis_blocks(page):
    """{command: roff of its synopsis} from the .SY blocks; the command is the first bold word."""
    blocks = {}
    synopsis = sections(page, "SH")["SYNOPSIS"]
    for body in re.findall(r"^\.SY rowsmith\\-cli\n(.*?)^\.YS", synopsis, re.M | re.S):
        m = re.match(r"\.B ([a-z]+)\n", body)
        blocks[m.group(1) if m else ""] = body
    return blocks


class CommandsMatchHelp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top_help = run_help()
        cls.commands = help_commands(cls.top_help)
        cls.page = read_page("rowsmith-cli.1")
        cls.subsections = sections(sections(cls.page, "SH")["COMMANDS"], "SS")

    def test_every_command_has_a_subsection_and_no_other(self):
        self.assertGreaterEqual(len(self.commands), 5, self.top_help)
        self.assertEqual(sorted(self.subsections), sorted(self.commands))

    def test_each_commands_options_are_described_in_its_subsection_both_ways(self):
        for command in self.commands:
            with self.subTest(command=command):
                shown = help_options(run_help(command)) - {"--help"}
                described = page_options(self.subsections.get(command, ""))
                self.assertEqual(sorted(shown - described), [], "in --help, missing from the page")
                self.assertEqual(sorted(described - shown), [], "on the page, unknown to --help")

    def test_each_synopsis_names_exactly_its_commands_options(self):
        blocks = synopsis_blocks(self.page)
        for command in self.commands:
            with self.subTest(command=command):
                self.assertIn(command, blocks)
                shown = help_options(run_help(command)) - {"--help"}
                self.assertEqual(sorted(page_options(blocks[command]) ^ shown), [])

    def test_program_options_are_described(self):
        shown = help_options(self.top_help)
        described = page_options(sections(self.page, "SH")["OPTIONS"])
        self.assertEqual(sorted(shown ^ described), [])


class ExitStatus(unittest.TestCase):
    def test_the_page_lists_exactly_the_programs_exit_statuses(self):
        with open(os.path.join(SOURCE, "src", "cli", "options.h"), encoding="utf-8") as f:
            codes = set(re.findall(r"constexpr int kExit\w+ = (\d+);", f.read()))
        body = sections(read_page("rowsmith-cli.1"), "SH")["EXIT STATUS"]
        listed = set(re.findall(r"^\.TP\n\.B (\d+)$", body, re.M))
        self.assertGreaterEqual(len(codes), 4)
        self.assertEqual(listed, codes)


class Rendering(unittest.TestCase):
    def check_quiet(self, command, page):
        done = subprocess.run(command, capture_output=True, text=True,
                              env={**os.environ, "LC_ALL": "C.UTF-8", "MANWIDTH": "80"})
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "", "warnings while rendering " + page)
        return done.stdout

    def test_pages_render_without_warnings(self):
        tools = [t for t in ("groff", "man") if shutil.which(t)]
        if not tools:
            self.skipTest("neither groff nor man is installed")
        for page in ("rowsmith-cli.1", "rowsmith.1"):
            path = os.path.join(MAN_DIR, page)
            with self.subTest(page=page):
                if "groff" in tools:
                    self.check_quiet(["groff", "-man", "-ww", "-Tutf8", "-z", path], page)
                if "man" in tools:
                    text = self.check_quiet(["man", "--warnings", "-l", path], page)
                    self.assertIn("SYNOPSIS", text)
                    self.assertIn("SEE ALSO", text)


class Versions(unittest.TestCase):
    def test_every_file_that_names_the_version_names_the_programs(self):
        done = subprocess.run([CLI, "--version"], capture_output=True, text=True, check=True)
        version = re.match(r"rowsmith-cli (\S+)", done.stdout).group(1)
        stated = {
            "rowsmith-cli.1": re.search(r'^\.TH .*"Rowsmith ([^"]+)"', read_page("rowsmith-cli.1"), re.M),
            "rowsmith.1": re.search(r'^\.TH .*"Rowsmith ([^"]+)"', read_page("rowsmith.1"), re.M),
        }
        packaging = os.path.join(SOURCE, "packaging")
        with open(os.path.join(packaging, "changelog.Debian"), encoding="utf-8") as f:
            stated["changelog.Debian (latest entry)"] = re.match(r"rowsmith \(([^)]+)\)", f.read())
        with open(os.path.join(packaging, "io.github.rowsmith.Rowsmith.metainfo.xml"), encoding="utf-8") as f:
            stated["metainfo (latest release)"] = re.search(r'<release version="([^"]+)"', f.read())
        for where, m in stated.items():
            with self.subTest(file=where):
                self.assertIsNotNone(m)
                self.assertEqual(m.group(1), version)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
