#!/usr/bin/env python3
# faultapply.py TREE BASENAME OLD NEW: replaces the one occurrence of OLD in the
# tracked file */BASENAME (or BASENAME at the top); fails loudly otherwise
import subprocess, sys
tree, base, old, new = sys.argv[1:5]
files = subprocess.run(["git", "-C", tree, "ls-files", "*/" + base, base], capture_output=True, text=True).stdout.split()
if "/" in base: files = [base]  # a folder/name where the name alone is not unique
files = [f for f in files if not f.startswith("tests/") and not f.startswith("bench/")]
if len(files) != 1:
    sys.exit("faultapply.py: %d files named %s: %s" % (len(files), base, files))
path = tree + "/" + files[0]
text = open(path, encoding="utf-8", errors="surrogateescape").read()
n = text.count(old)
if n != 1:
    sys.exit("faultapply.py: %s: snippet found %d times: %r" % (files[0], n, old))
open(path, "w", encoding="utf-8", errors="surrogateescape").write(text.replace(old, new))
print(files[0])
