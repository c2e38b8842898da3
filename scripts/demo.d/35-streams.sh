# Browser streams: a file downloaded from a local server through both roads
# (the NPAPI browser's stream calls in our test browser, and the system's URL
# monikers), a form POST and a range read, and the system proxy setting.
echo "== browser streams on both roads (stream_fetch.exe against a local HTTP server)"
env -u http_proxy -u https_proxy -u no_proxy -u HTTP_PROXY -u HTTPS_PROXY \
  python3 "$(dirname "$0")/../../demo/framework/streams-demo.py"
