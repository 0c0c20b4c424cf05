# A prefix of its own that reports Windows XP (major version 5).
set(_wine_prefix winxp)
set(_wine_setup "${CMAKE_CURRENT_SOURCE_DIR}/full_client_xp_prefix.sh")
