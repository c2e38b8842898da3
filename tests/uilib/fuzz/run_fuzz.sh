#!/bin/bash
# Builds the skin parsers' fuzz targets natively with clang and libFuzzer (with
# the address and undefined-behaviour sanitizers) and runs each for a bounded
# time. A crash fails the test; libFuzzer leaves the input beside the target
# (crash-*), to become a table case of the unit tests.
set -euo pipefail
seconds=${FUZZ_SECONDS:-10}
src=$SOURCE_DIR/uilib
here=$SOURCE_DIR/tests/uilib/fuzz
out=$BUILD_DIR/tests/uilib/fuzz
mkdir -p "$out"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$src")

clang++ "${flags[@]}" "$here/XmlMarkupFuzz.cpp" "$src/XmlMarkup.cpp" -o "$out/xml_fuzz"
clang++ "${flags[@]}" "$here/ZipArchiveFuzz.cpp" "$src/ZipArchive.cpp" -lz -o "$out/zip_fuzz"

# Seeds: the zip fixtures, and a few skins as UTF-16LE.
mkdir -p "$out/zip_corpus" "$out/xml_corpus"
cp "$BUILD_DIR"/tests/uilib/fixtures/*.zip "$out/zip_corpus/" 2>/dev/null || true
for skin in \
  '<?xml version="1.0"?><Window size="300,200"><Font name="Tahoma" size="12"/><VerticalLayout><Label text="a &amp; b"/></VerticalLayout></Window>' \
  '<a b="c" d = "e"><!-- c --><f/><g>text</g></a>' \
  '<Window><Include source="x.xml" count="3"/></Window>'; do
  printf '%s' "$skin" | iconv -f utf-8 -t utf-16le >"$out/xml_corpus/seed-$(printf '%s' "$skin" | md5sum | cut -c1-8)"
done

cd "$out"
for target in xml zip; do
  echo "== fuzzing the $target parser for ${seconds}s"
  "./${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=65536 \
    -print_final_stats=1 "${target}_corpus" 2>&1 | tail -n 12
done
