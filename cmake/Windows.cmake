message(FATAL_ERROR "The Windows build is not set up yet")
