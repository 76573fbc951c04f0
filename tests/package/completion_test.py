#!/usr/bin/env python3
"""The shell completions of rowsmith-cli: the bash function is called as bash calls it, with the words
of a command line, and must offer the right commands, options, values, folders, files and modifier
words; the zsh and fish files must parse and cover every option each command's --help shows.

Environment: ROWSMITH_CLI (the program), ROWSMITH_SOURCE_DIR (the source tree)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI = os.path.abspath(os.environ.get("ROWSMITH_CLI", "rowsmith-cli"))
SOURCE = os.environ.get("ROWSMITH_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
COMPLETIONS = os.path.join(SOURCE, "packaging", "completions")

# Sets the variables bash gives a completion function, calls it and prints one candidate a line.
BASH_DRIVER = r'''
source "$1"; shift
COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
_rowsmith_cli
printf '%s\n' "${COMPREPLY[@]}"
'''


def help_options(*command):
    text = subprocess.run([CLI, *command, "--help"], capture_output=True, text=True, check=True).stdout
    return {m.group(1) for m in re.finditer(r"^  (?:-[A-Za-z],)?(--[a-z0-9][a-z0-9-]*)", text, re.M)}


def commands():
    text = subprocess.run([CLI, "--help"], capture_output=True, text=True, check=True).stdout
    block = re.search(r"^Subcommands:\n(.*?)(?:\n\n|\Z)", text, re.S | re.M).group(1)
    return re.findall(r"^  ([a-z][a-z0-9-]*)\s", block, re.M)


class BashCompletion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("bash"):
            raise unittest.SkipTest("bash is not installed")
        cls.tmp = tempfile.TemporaryDirectory()
        # A folder and a file of each kind, to tell folder completion from file completion.
        os.makedirs(os.path.join(cls.tmp.name, "srcdir"))
        for name in ("srcfile.txt", "tidy.rowsmith"):
            open(os.path.join(cls.tmp.name, name), "w").close()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def complete(self, *words):
        done = subprocess.run(["bash", "--norc", "-c", BASH_DRIVER, "driver",
                               os.path.join(COMPLETIONS, "rowsmith-cli.bash"), CLI, *words],
                              capture_output=True, text=True, cwd=self.tmp.name)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        return [line for line in done.stdout.split("\n") if line]

    def test_candidates(self):
        # words after the program -> exactly these candidates
        cases = [
            ([""], commands()),
            (["ex"], ["expand"]),
            (["--v"], ["--version"]),
            (["run", "--line-e"], ["--line-ends"]),
            (["run", "--line-ends", ""], ["auto", "crlf", "lf"]),
            (["expand", "--line-ends", "=", "c"], ["crlf"]),
            (["run", "--line-ends", "="], ["auto", "crlf", "lf"]),
            (["list", "--format", ""], sorted(re.findall(r"--format TEXT:\{([^}]*)\}", subprocess.run(
                [CLI, "list", "--help"], capture_output=True, text=True).stdout)[0].split(","))),
            (["run", "--encoding", "utf-16"], ["utf-16be", "utf-16le"]),
            (["run", "--output-encoding", "s"], ["same", "shift_jis"]),
            (["list", "--codepage", ""], ["ascii", "cp1252"]),
            (["list", "--columns", "Filename,Si"], ["Filename,Size"]),
            (["run", "--template", "'{{line|caseupper"], ["{{line|caseupper", "{{line|caseupperfirst"]),
            (["expand", "--template", "=", '"{{line|trim|trimr'], ["{{line|trim|trimright"]),
            (["run", "--template", "{{line\\|trimr"], ["{{line\\|trimright"]),
            (["run", "--template", "'{{li"], []),
            (["interval", "1-3", "--co"], ["--count"]),
            # Folders for SOURCE and DEST, also after a flag; files for options that name one.
            (["run", "s"], ["srcdir"]),
            (["list", "--flat", "s"], ["srcdir"]),
            (["run", "--job", "t"], ["tidy.rowsmith"]),
            (["run", "--template-file", "s"], ["srcdir", "srcfile.txt"]),
            (["expand", "s"], ["srcdir", "srcfile.txt"]),
            (["run", "--levels", ""], []),
        ]
        for words, expected in cases:
            with self.subTest(words=words):
                self.assertEqual(sorted(self.complete(*words)), sorted(expected))

    def test_options_of_each_command_are_those_of_its_help(self):
        for command in commands():
            with self.subTest(command=command):
                self.assertEqual(sorted(self.complete(command, "--")), sorted(help_options(command)))


def blocks_of(text, start):
    """{command: text} of each part that begins with the regex `start` capturing the command's name."""
    parts = re.split(start, text, flags=re.M)
    return {parts[i]: parts[i + 1] for i in range(1, len(parts) - 1, 2)}


class ZshAndFish(unittest.TestCase):
    def read(self, name):
        with open(os.path.join(COMPLETIONS, name), encoding="utf-8") as f:
            return f.read()

    def check_syntax(self, shell, name):
        if not shutil.which(shell):
            self.skipTest(shell + " is not installed; cannot check " + name)
        done = subprocess.run([shell, "-n", os.path.join(COMPLETIONS, name)], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)

    def test_zsh_file_parses(self):
        self.check_syntax("zsh", "_rowsmith-cli")

    def test_fish_file_parses(self):
        self.check_syntax("fish", "rowsmith-cli.fish")

    def test_zsh_offers_every_option_of_each_command(self):
        text = self.read("_rowsmith-cli")
        # A command's function names its options or calls a helper whose reply lists them.
        helpers = blocks_of(text, r"^(_rowsmith-cli_[a-z_]+)\(\) \{$")
        for command in commands():
            with self.subTest(command=command):
                body = helpers.get("_rowsmith-cli_" + command, "")
                self.assertNotEqual(body, "", "no function for " + command)
                for helper in re.findall(r"(_rowsmith-cli_[a-z_]+_options)", body):
                    body += helpers.get(helper, "")
                offered = set(re.findall(r"(--[a-z0-9][a-z0-9-]*)(?:\[|\})", body))
                self.assertEqual(sorted(help_options(command) - offered), [])

    def test_fish_offers_every_option_of_each_command(self):
        offered = {command: set() for command in commands()}
        for line in self.read("rowsmith-cli.fish").splitlines():
            seen = re.search(r"__fish_seen_subcommand_from ([a-z ]+)'", line)
            option = re.search(r" -l ([a-z0-9-]+)", line)
            if option:
                for command in (seen.group(1).split() if seen else offered):
                    offered.setdefault(command, set()).add("--" + option.group(1))
        for command in commands():
            with self.subTest(command=command):
                self.assertEqual(sorted(help_options(command) - offered[command]), [])

    def test_fish_completes_values_and_modifier_words(self):
        if not shutil.which("fish"):
            self.skipTest("fish is not installed")
        env = {**os.environ, "PATH": os.path.dirname(CLI) + os.pathsep + os.environ.get("PATH", "")}
        cases = [
            ("rowsmith-cli run --line-ends ", ["auto", "crlf", "lf"]),
            ("rowsmith-cli run --template '{{line|caseupper", ["{{line|caseupper", "{{line|caseupperfirst"]),
        ]
        script = os.path.join(COMPLETIONS, "rowsmith-cli.fish")
        for line, expected in cases:
            with self.subTest(line=line):
                done = subprocess.run(["fish", "--no-config", "-c", 'source $argv[1]; complete -C$argv[2]',
                                       script, line], capture_output=True, text=True, env=env)
                self.assertEqual(done.stderr, "")
                got = [row.split("\t")[0] for row in done.stdout.splitlines()]
                self.assertEqual(sorted(got), sorted(expected))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
