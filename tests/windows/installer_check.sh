#!/usr/bin/env bash
# The installer under Wine, as a school would use it: silent install, the installed batch
# tool on the sample school from a folder that is not the build's, the installed window
# opened once (screenshot), silent uninstall; the uninstaller leaves C:\TLTEMP and its
# tables as they were. Needs an X display (xvfb-run) and WINEPREFIX set.
# Arguments: the installer, the source folder, a folder for the screenshot.
set -euo pipefail
setup=${1:?instalador}
source_dir=${2:?carpeta de las fuentes}
shots=${3:?carpeta para la captura}
run() { "$source_dir/scripts/wine-run.sh" "$@"; }
fail() {
    echo "FALLO: $*" >&2
    exit 1
}
# A silent (un)installer's work is done when Wine's server ends (the uninstaller goes on
# from a copy of itself in the temporary folder). Never forever: a server that stays is a
# failure of this check.
wait_wine() { timeout 300 wineserver -w || fail "Wine no terminó tras $1"; }
drive_c=$WINEPREFIX/drive_c
installed=$drive_c/VeltraTempolan
tltemp=$drive_c/TLTEMP

rm -rf "$installed" "$tltemp"
run "$setup" /S
wait_wine "la instalación"
for f in VeltraTempolan.exe veltra-tempolan.exe VELTMATERIAS.DBF qtbase_es.qm Qt6Core.dll \
    Qt6Widgets.dll libxml2.dll platforms/qwindows.dll help/index.html Desinstalar.exe; do
    [ -e "$installed/$f" ] || fail "la instalación no dejó $f en C:\\VeltraTempolan"
done
[ -n "$(find "$drive_c/ProgramData/Microsoft/Windows/Start Menu" -iname 'VeltraTempolan.lnk' 2>/dev/null)" ] ||
    fail "no hay entrada en el menú Inicio"
# Nothing of the test build: no test library, no gtest.
[ ! -e "$installed/Qt6Test.dll" ] || fail "el instalador lleva Qt6Test.dll"
echo "ok: instalado en C:\\VeltraTempolan"

# The sample school, from a folder of its own, into C:\TLTEMP (the working folder).
school=$drive_c/escuela
rm -rf "$school"
mkdir -p "$school" "$tltemp"
cp "$source_dir/samples/escuela/veltra.xml" "$source_dir/samples/escuela/codes.csv" "$school/"
tool='C:\VeltraTempolan\veltra-tempolan.exe'
(cd "$school" && run "$tool" check 'C:\escuela\veltra.xml' --codes 'C:\escuela\codes.csv' \
    --frames 1101,1102 >/dev/null) || fail "check de la escuela de ejemplo"
(cd "$school" && run "$tool" import 'C:\escuela\veltra.xml' --codes 'C:\escuela\codes.csv' \
    --frames 1101,1102 >/dev/null) || fail "import de la escuela de ejemplo"
cp "$source_dir/samples/escuela/SOLUC.DBF" "$tltemp/"
written=$(cd "$school" && run "$tool" export 'C:\escuela\veltra.xml' | tr -d '\r' | tail -n1)
[ "$written" = 'C:\escuela\ResultadoTempolanveltra.xml' ] || fail "export escribió «$written»"
[ -s "$school/ResultadoTempolanveltra.xml" ] || fail "no se escribió el documento exportado"
for t in CURSOST GRUPOST ASIGT PROFT DIASHORAST; do
    [ -s "$tltemp/$t.DBF" ] || fail "falta $t.DBF en C:\\TLTEMP tras la importación"
done
echo "ok: check, import y export de la escuela de ejemplo con el programa instalado"

# The installed window, once.
run 'C:\VeltraTempolan\VeltraTempolan.exe' >/dev/null 2>&1 &
window_pid=$!
id=""
for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^Exportar e importar datos entre Tempolan y Veltra\$" 2>/dev/null | head -n1) || true
    [ -n "$id" ] && break
    sleep 0.2
done
[ -n "$id" ] || fail "no se abrió la ventana del programa instalado"
sleep 1
import -window root "$shots/instalado.png" 2>/dev/null || true
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key alt+s
for _ in $(seq 100); do kill -0 "$window_pid" 2>/dev/null || break; sleep 0.2; done
kill "$window_pid" 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true
echo "ok: ventana del programa instalado (captura en $shots/instalado.png)"

# Uninstall: C:\TLTEMP and everything in it stay byte for byte.
before=$(cd "$tltemp" && find . -type f -exec sha256sum {} + | sort)
run 'C:\VeltraTempolan\Desinstalar.exe' /S
wait_wine "la desinstalación"
after=$(cd "$tltemp" && find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || fail "la desinstalación cambió C:\\TLTEMP"
for f in VeltraTempolan.exe veltra-tempolan.exe Qt6Core.dll platforms/qwindows.dll help/index.html; do
    [ ! -e "$installed/$f" ] || fail "la desinstalación dejó $f"
done
[ -z "$(find "$drive_c/ProgramData/Microsoft/Windows/Start Menu" -iname 'VeltraTempolan*' 2>/dev/null)" ] ||
    fail "la desinstalación dejó la entrada del menú Inicio"
echo "ok: desinstalado; C:\\TLTEMP intacto"
