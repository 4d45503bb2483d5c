#!/usr/bin/env python3
"""Prints the library catalogue's translated rows for a reviewer.

For each row file data/resources/RCDATA/IEWORDS_NN.txt present: the keys the
image dialogs read and 25 keys drawn with a fixed seed, each beside English,
then the translated keys whose text equals English (expected only for forms
such as "OK", "RGB", "HSV", "FFT" or "dpi").

Usage: review_catalogue.py [ROW ...]    (all rows present when none is given)
"""
import pathlib
import random
import sys

FOLDER = pathlib.Path(__file__).resolve().parent.parent / "data" / "resources" / "RCDATA"

# Row, language, key from which the row holds English.
ROWS = [(2, "Italian", 426), (3, "German", 432), (4, "Spanish", 381), (5, "French", 381),
        (6, "Portuguese", 381), (7, "Greek", 158), (8, "Russian", 381), (9, "Dutch", 132),
        (10, "Swedish", 158), (11, "Polish", 139), (12, "Japanese", 133), (13, "Czech", 133),
        (14, "Finnish", 146), (15, "Farsi", 139), (16, "Chinese, simplified", 133),
        (17, "Chinese, traditional characters", 133), (18, "Chinese, traditional (Taiwan)", 158),
        (19, "Danish", 139), (20, "Turkish", 146), (21, "Korean", 143), (22, "Hungarian", 146),
        (23, "Arabic", 157), (24, "Serbian, Latin script", 157), (25, "Norwegian", 158)]

# The keys the image dialogs read.
DIALOG_KEYS = ([0, 1, 2, 3, 4, 5, 37, 38, 39, 40] + list(range(42, 67)) +
               [87, 97, 120, 123, 125, 126, 127, 131, 132, 139, 140, 145] + list(range(392, 397)))
SAMPLE_SIZE = 25
SEED = 40


def read_texts(path):
    texts = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        key, _, text = line.partition("\t")
        texts[int(key)] = text
    return texts


def review(row, language, english_from, english):
    path = FOLDER / f"IEWORDS_{row:02d}.txt"
    if not path.exists():
        return False
    texts = read_texts(path)
    print(f"== Row {row}: {language} (English from key {english_from})")
    sample = sorted(random.Random(SEED + row).sample(range(english_from), SAMPLE_SIZE))
    for title, keys in (("Dialog keys", [k for k in DIALOG_KEYS if k < english_from]), ("Sample", sample)):
        print(f"-- {title}")
        for key in keys:
            print(f"{key:4d}  {english[key]}\n      {texts.get(key, '(missing)')}")
    same = [key for key in range(english_from) if texts.get(key) == english[key]]
    print("-- Same as English: " + (", ".join(f"{k} \"{english[k]}\"" for k in same) or "none"))
    print()
    return True


def main(argv):
    english = read_texts(FOLDER / "IEWORDS.txt")
    wanted = {int(a) for a in argv[1:]}
    shown = [review(r, lang, start, english) for r, lang, start in ROWS if not wanted or r in wanted]
    if not any(shown):
        print("No row file found.", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
