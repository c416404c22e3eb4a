# Sourced by the Java test scripts. When the library under test was built with
# the address and undefined-behaviour sanitizers, a JVM can load it only with
# their runtimes loaded first; the JVM's own ways are then left alone: it uses
# SIGSEGV for its safepoints and never frees much of what it allocates.
#   java_sanitizer_env LIBDIR
# sets the array java_env to the variables to run the JVM with (none for a
# normal build): env "${java_env[@]}" java ...
java_sanitizer_env() {
  local lib="$1/libqeltapi.so" preload="" rt path
  java_env=()
  for rt in libasan libubsan; do
    path=$(ldd "$lib" 2>/dev/null | awk -v rt="$rt" 'index($1, rt ".so") == 1 {print $3}')
    [ -n "$path" ] && preload="$preload $path"
  done
  [ -z "$preload" ] && return 0
  java_env=("LD_PRELOAD=${preload# }" "ASAN_OPTIONS=detect_leaks=0:handle_segv=0:allow_user_segv_handler=1:use_sigaltstack=0")
}
