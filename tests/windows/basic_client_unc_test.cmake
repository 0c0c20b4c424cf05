# A prefix of its own with the share \\gantry\share (a link under
# dosdevices/unc) that the application-data folder is redirected to.
set(_wine_prefix unc)
set(_wine_setup "${CMAKE_CURRENT_SOURCE_DIR}/basic_client_unc_prefix.sh")
