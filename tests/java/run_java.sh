#!/usr/bin/env bash
# Runs Java test classes in one JVM under -Xcheck:jni and fails on any JNI
# warning as well as on a failed test.
#   run_java.sh JAVA CLASSPATH LIBDIR DATADIR TMPDIR [JVM options...] -- CLASS...
set -uo pipefail
java=$1 cp=$2 libdir=$3 data=$4 tmp=$5
shift 5
jvm=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do jvm+=("$1"); shift; done
shift
mkdir -p "$tmp"
. "$(dirname "$0")/sanitizer_env.sh"
java_sanitizer_env "$libdir"
log=$(mktemp "$tmp/java-log.XXXXXX")
# The library's texts are CP949; EUC-KR, its subset that the JVM can take as
# the default charset at start-up, carries the Hangul of its messages.
env "${java_env[@]}" "$java" -Xcheck:jni -Dfile.encoding=EUC-KR -Djava.library.path="$libdir" -Dqelt.data="$data" -Dqelt.tmp="$tmp" \
  "${jvm[@]}" -cp "$cp" com.qelt.test.TestRunner "$@" >"$log" 2>&1
rc=$?
cat "$log"
if grep -qE 'WARNING|FATAL ERROR|JNI (ERROR|error)' "$log"; then
  echo "JNI checks printed warnings"
  rc=1
fi
rm -f "$log"
exit $rc
