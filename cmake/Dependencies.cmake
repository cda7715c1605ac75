# Third-party packages, all from Debian (scripts/lib/packages.sh installs them).
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
find_package(ZLIB REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(assimp REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL REQUIRED COMPONENTS OpenGL EGL)
# The window toolkit of the programs (host/qt); targets that need moc set AUTOMOC.
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport Test)
if(DM_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
# Optional: with MPI the program splits one render's rows over the processes
# mpirun starts (only the program links it; the plug-in and the host do not).
find_package(MPI COMPONENTS C QUIET)
