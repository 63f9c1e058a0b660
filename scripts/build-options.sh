# The configure options the scripts share. Sourced by test.sh, run.sh and
# windows-tests.sh. build/release is configured the same way by test.sh and
# run.sh (Release, what users get), so that one does not rebuild what the
# other built.

# Rebuilds are quicker through ccache where it is installed; nothing needs it.
launcher_options=()
if command -v ccache > /dev/null; then
  launcher_options=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Lets ccache cache the sources compiled with a precompiled header.
  export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
fi

release_build_options=(-G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher_options[@]}")
