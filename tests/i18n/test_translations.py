#!/usr/bin/python3
"""translations.py against a source tree of its own: "check" must fail on each kind
of fault a developer can leave (a new text, an unfinished or damaged translation)
and pass on a whole one.

Usage: test_translations.py TRANSLATIONS_PY LUPDATE"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

TOOL, LUPDATE = sys.argv[1], sys.argv[2]
SOURCE = '''#include <QCoreApplication>
class Panel
{
    Q_DECLARE_TR_FUNCTIONS(Panel)
public:
    static QString a() { return tr("Пуск двигателя"); }
    static QString b() { return tr("Запросов: %1").arg(1); }
    static QString c() { return tr(" мин"); }
};
'''
GOOD = {"Пуск двигателя": "Motor start", "Запросов: %1": "Requests: %1", " мин": " min"}


class TranslationCheck(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.src = os.path.join(self.scratch.name, "src")
        os.mkdir(self.src)
        self.write_source(SOURCE)
        self.ts = os.path.join(self.scratch.name, "t_en.ts")
        self.run_tool("update")

    def tearDown(self):
        self.scratch.cleanup()

    def write_source(self, text):
        with open(os.path.join(self.src, "panel.cpp"), "w", encoding="utf-8") as f:
            f.write(text)

    def run_tool(self, mode):
        return subprocess.run([sys.executable, TOOL, mode, LUPDATE, self.ts, self.src],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def translate(self, answers):
        with open(self.ts, encoding="utf-8") as f:
            text = f.read()
        for source, answer in answers.items():
            if answer is None:
                continue
            pattern = re.compile("(<source>" + re.escape(source) + r"</source>\s*)<translation type=\"unfinished\"></translation>")
            text, n = pattern.subn(lambda m: m.group(1) + "<translation>" + answer + "</translation>", text)
            self.assertEqual(n, 1, source)
        with open(self.ts, "w", encoding="utf-8") as f:
            f.write(text)

    def assertCheck(self, passes, *words):
        done = self.run_tool("check")
        self.assertEqual(done.returncode == 0, passes, done.stdout)
        for word in words:
            self.assertIn(word, done.stdout)

    def test_whole_translation_passes(self):
        self.translate(GOOD)
        self.assertCheck(True, "3 texts")

    def test_untranslated_text_fails(self):
        self.translate({k: v for k, v in GOOD.items() if k != " мин"})
        self.assertCheck(False, "not translated yet")

    def test_text_added_to_sources_fails(self):
        self.translate(GOOD)
        self.write_source(SOURCE.replace("public:", 'public:\n    static QString d() { return tr("Стоп"); }'))
        self.assertCheck(False, "not up to date", "Стоп")

    def test_text_gone_from_sources_fails(self):
        self.translate(GOOD)
        self.write_source(SOURCE.replace('tr(" мин")', 'QString()'))
        self.assertCheck(False, "not up to date")

    def test_damaged_translations_fail(self):
        for answers, fault in (({"Запросов: %1": "Requests: 1"}, "placeholders"),
                               ({" мин": "min"}, "leading space"),
                               ({"Пуск двигателя": "Motor пуск"}, "Cyrillic")):
            with self.subTest(fault=fault):
                os.remove(self.ts)
                self.run_tool("update")
                self.translate({**GOOD, **answers})
                self.assertCheck(False, fault)

    def test_product_name_may_stay(self):
        self.write_source(SOURCE.replace("Пуск двигателя", "Пуск ОРБИКС-11"))
        self.run_tool("update")
        self.translate({**GOOD, "Пуск двигателя": None, "Пуск ОРБИКС-11": "Start ОРБИКС-11"})
        self.assertCheck(True)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
