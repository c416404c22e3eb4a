#!/usr/bin/env bash
# The README's Java example is java/examples/SignVerify.java as it stands, and
# it compiles and runs against the built library and jar.
#   check_readme_example.sh SOURCE_DIR JAVAC JAVA JAR LIBDIR TMPDIR [ENV...]
set -euo pipefail
src=$1 javac=$2 java=$3 jar=$4 libdir=$5 tmp=$6
shown=$(awk '/^## Java bindings/{s=1} s&&/^```java/{j=1;next} j&&/^```/{exit} j{print}' "$src/README.md")
if [ "$shown" != "$(cat "$src/java/examples/SignVerify.java")" ]; then
  echo "README's Java example differs from java/examples/SignVerify.java"
  exit 1
fi
out="$tmp/readme-example"
mkdir -p "$out"
"$javac" -cp "$jar" -d "$out" "$src/java/examples/SignVerify.java"
. "$src/tests/java/sanitizer_env.sh"
java_sanitizer_env "$libdir"
result=$(env "${java_env[@]}" "$java" -Xcheck:jni -Djava.library.path="$libdir" -Djava.io.tmpdir="$out" -cp "$jar:$out" SignVerify \
  "$src/tests/java/data/user.der" "$src/tests/java/data/user.p8" 2>&1)
echo "$result"
grep -q '^verified [0-9]*-byte message: "hello, world", signed by a [0-9]*-byte certificate$' <<<"$result"
! grep -q WARNING <<<"$result"
