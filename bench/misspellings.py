#!/usr/bin/env python3
"""Forgiving matching on real misspellings, as a person types them.

For each misspelling of a dictionary word, typed letter by letter after a sentence end through
`lexforge lookup --stdin` (the text service's own lookup and ranking), prints per data set, order and
match: how often the word meant is on the first page at some prefix ("found while typing"), once the
whole misspelling is typed ("found at end"), and the keystroke savings on those words (letters until
the word shows plus one key for the pick; a word never shown costs the misspelling, erasing it letter
by letter, and typing the word). Beside them, a spelling checker's first ten suggestions for the
whole misspelt word (Debian's hunspell with hunspell-en-us), a yardstick only.

The data sets (fetched by bench/fetch_misspellings.sh into build/misspellings; used only here):
  codespell   Debian's codespell list (GPL-2.0): the tenth of its pairs that tools/mistake_costs held
              out of the cost table;
  libreoffice LibreOffice's English autocorrect list (MPL-2.0), pairs not in codespell's training part;
  cspell      the npm package @cspell/dict-en-common-misspellings (CC-BY-SA-4.0), pairs not in
              codespell's training part.

  bench/misspellings.py [--lexforge build/native-release/bin/lexforge] [--dict .../english.dict]
                        [--data build/misspellings] [--limit 4000]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import zipfile


def as_key(word):
    """The word as a dictionary key (lowercase, apostrophes and hyphens dropped), or None."""
    key = word.replace("'", "").replace("-", "").lower()
    return key if key and re.fullmatch("[a-z]+", key) else None


def codespell_pairs(path):
    """(training, held out): the split tools/mistake_costs makes, every tenth usable pair held out."""
    training, held = [], []
    usable = 0
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if "->" not in line or "," in line:
                continue
            wrong, right = line.split("->", 1)
            wrong, right = as_key(wrong), as_key(right)
            if not wrong or not right or wrong == right:
                continue
            (held if usable % 10 == 9 else training).append((wrong, right))
            usable += 1
    return training, held


def libreoffice_pairs(path):
    with zipfile.ZipFile(path) as z:
        xml = z.read("DocumentList.xml").decode("utf-8")
    pairs = []
    for wrong, right in re.findall(r'abbreviated-name="([^"]*)"[^>]*?name="([^"]*)"', xml):
        wrong, right = as_key(wrong), as_key(right)
        if wrong and right and wrong != right:
            pairs.append((wrong, right))
    return pairs


def cspell_pairs(path):
    import json
    with open(path, encoding="utf-8") as f:
        definitions = json.load(f)["dictionaryDefinitions"]
    pairs = []
    for d in definitions:
        for entry in d.get("flagWords", []) + d.get("suggestWords", []):
            if "->" not in entry or "," in entry:
                continue
            wrong, right = entry.split("->", 1)
            wrong, right = as_key(wrong.strip()), as_key(right.strip())
            if wrong and right and wrong != right:
                pairs.append((wrong, right))
    return pairs


class Lookup:
    """One `lexforge lookup --stdin` process: a line in, a line out."""

    def __init__(self, lexforge, dictionary, order, match):
        self.p = subprocess.Popen([lexforge, "lookup", dictionary, "--stdin", "--order", order, "--match", match],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def page(self, prefix):
        self.p.stdin.write("?" + prefix + "\n")
        self.p.stdin.flush()
        return [w.lower() for w in self.p.stdout.readline().rstrip("\n").split("\t") if w]

    def sentence_end(self):
        self.p.stdin.write(".\n")
        self.p.stdin.flush()

    def close(self):
        self.p.stdin.close()
        self.p.wait()


def dictionary_words(lexforge, dictionary, words):
    """The words that are keys of the dictionary: those an exact lookup of the whole word offers."""
    look = Lookup(lexforge, dictionary, "dictionary", "exact")
    found = {w for w in sorted(set(words)) if w in look.page(w)}
    look.close()
    return found


def measure(look, pairs):
    while_typing = at_end = 0
    keys = letters = 0
    for wrong, right in pairs:
        look.sentence_end()
        shown_at = None
        for k in range(1, len(wrong) + 1):
            page = look.page(wrong[:k])
            if right in page:
                if shown_at is None:
                    shown_at = k
                if k == len(wrong):
                    at_end += 1
        if shown_at is not None:
            while_typing += 1
            keys += shown_at + 1
        else:
            keys += 2 * len(wrong) + len(right)
        letters += len(right)
    n = len(pairs)
    return 100.0 * while_typing / n, 100.0 * at_end / n, 100.0 * (1 - keys / letters)


def hunspell_found(pairs):
    if shutil.which("hunspell") is None:
        return None
    words = [w for w, _ in pairs]
    out = subprocess.run(["hunspell", "-d", "en_US", "-a"], input="\n".join(words) + "\n", capture_output=True,
                         text=True).stdout.splitlines()[1:]
    answers = []
    for line in out:
        if line == "":
            continue
        if line.startswith("&"):
            answers.append([s.strip().lower() for s in line.split(":", 1)[1].split(",")][:10])
        else:
            answers.append([])
    found = sum(1 for (_, right), a in zip(pairs, answers) if right in a)
    return 100.0 * found / len(pairs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser()
    ap.add_argument("--lexforge", default=os.path.join(root, "build/native-release/bin/lexforge"))
    ap.add_argument("--dict", default=os.path.join(root, "build/native-release/bin/english.dict"))
    ap.add_argument("--data", default=os.path.join(root, "build/misspellings"))
    ap.add_argument("--limit", type=int, default=4000, help="at most this many pairs per data set, evenly spread")
    a = ap.parse_args()

    training, held = codespell_pairs(os.path.join(a.data, "codespell.txt"))
    seen = set(training)
    sets = [("codespell (held out)", held)]
    for name, path, reader in (("libreoffice", "acor_en-US.dat", libreoffice_pairs),
                               ("cspell", "dict-en.json", cspell_pairs)):
        full = os.path.join(a.data, path)
        if os.path.exists(full):
            sets.append((name, sorted({p for p in reader(full) if p not in seen})))
    known = dictionary_words(a.lexforge, a.dict, [r for _, pairs in sets for _, r in pairs])

    print("%-22s %6s  %-10s %-9s %9s %9s %9s" % ("data", "pairs", "order", "match", "typing%", "end%", "savings%"))
    for name, pairs in sets:
        pairs = [(w, r) for w, r in pairs if r in known and w not in known]
        if a.limit and len(pairs) > a.limit:
            pairs = pairs[::(len(pairs) + a.limit - 1) // a.limit]
        if not pairs:
            continue
        for order in ("dictionary", "frequent"):
            for match in ("exact", "forgiving"):
                look = Lookup(a.lexforge, a.dict, order, match)
                typing, end, savings = measure(look, pairs)
                look.close()
                print("%-22s %6d  %-10s %-9s %9.1f %9.1f %9.1f" % (name, len(pairs), order, match, typing, end, savings))
        h = hunspell_found(pairs)
        if h is not None:
            print("%-22s %6d  hunspell, first ten suggestions of the whole word: %.1f%%" % (name, len(pairs), h))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
