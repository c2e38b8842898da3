# The updater's engine: an installation at version 1.0.0.9 is brought to
# 1.0.0.10 from a local server (update.ini, then the 7z package), and a
# spoiled package is refused without touching anything.
set -euo pipefail
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT
win() { echo "Z:$(echo "$1" | tr / '\\')"; }

mkdir -p "$work/www/dl" "$work/install" "$work/data" "$work/package/bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '[Update]\r\nURL=http://127.0.0.1:%s/update.ini\r\n' "$port" >"$work/install/update_server.ini"
printf '[Info]\r\nLocalVersion=1.0.0.9\r\n' >"$work/install/AppInfo.ini"
echo "old plug-in" >"$work/install/npparvelplugin.dll"
echo "kept" >"$work/install/show.ico"
printf '[Info]\r\nLocalVersion=1.0.0.10\r\n' >"$work/package/AppInfo.ini"
cp "$work/install/update_server.ini" "$work/package/"
cp "$BUILD_DIR/bin/update_driver.exe" "$work/package/bin/"
echo "new plug-in" >"$work/package/npparvelplugin.dll"
(cd "$work/package" && 7zz a -bso0 -bsp0 "$work/www/dl/update_1.0.0.10.7z" .)
printf '[Update]\r\nVersion=1.0.0.10\r\nURL=http://127.0.0.1:%s/dl/update_1.0.0.10.7z\r\n[RegDll]\r\nNum=0\r\n' \
  "$port" >"$work/www/update.ini"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/www" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do python3 -c "import socket; socket.create_connection(('127.0.0.1',$port))" 2>/dev/null && break; sleep 0.1; done

echo "installation before:"; (cd "$work/install" && find . -type f | sort | sed 's/^/  /')
"$WINE_RUN" "$BUILD_DIR/bin/update_driver.exe" --log "$(win "$work/data/update.log")" \
  update "$(win "$work/install")" "$(win "$work/data")" | tr -d '\r' | sed 's/^/driver: /'
echo "installation after:"; (cd "$work/install" && find . -type f | sort | sed 's/^/  /')
echo "  npparvelplugin.dll: $(cat "$work/install/npparvelplugin.dll")"
echo "log (first and last lines):"
sed -n '1,4p;$p' "$work/data/update.log" | tr -d '\r' | sed 's/^/  /'

echo "a package with a wrong CRC:"
printf '[Info]\r\nLocalVersion=1.0.0.9\r\n' >"$work/install/AppInfo.ini"
(cd "$work/package" && rm -f "$work/www/dl/update_1.0.0.10.7z" && 7zz a -bso0 -bsp0 -m0=Copy "$work/www/dl/update_1.0.0.10.7z" .)
python3 -c "
f=open('$work/www/dl/update_1.0.0.10.7z','r+b'); f.seek(60); b=f.read(1); f.seek(60); f.write(bytes([b[0]^255]))"
before=$(cd "$work/install" && find . -type f -exec md5sum {} + | sort)
"$WINE_RUN" "$BUILD_DIR/bin/update_driver.exe" --log "$(win "$work/data/update.log")" \
  update "$(win "$work/install")" "$(win "$work/data")" | tr -d '\r' | sed 's/^/driver: /' || true
grep -a '更新包无效' "$work/data/update.log" | tail -1 | tr -d '\r' | sed 's/^/  log: /'
after=$(cd "$work/install" && find . -type f -exec md5sum {} + | sort)
[[ $before == "$after" ]] && echo "  installation unchanged"
