# A prefix of its own: the run points the user's AppData elsewhere for each
# package and walks the whole of drive C.
set(_wine_prefix mutated)
# The whole corpus is one test of about 220 s on x64 here; a slower machine
# (or the x86 build under WoW64) must not meet the test presets' 300 s limit.
set(_test_properties TIMEOUT 900)
