# A prefix of its own: the run points the user's AppData elsewhere for each
# package and walks the whole of drive C.
set(_wine_prefix mutated)
