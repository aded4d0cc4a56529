#!/usr/bin/env bash
# The disk failing under the batch tool, call by call: with strace, one ENOSPC or EIO at a
# call that touches files (once, or from that call on) or SIGKILL there, during an import,
# a restore and the next run's recovery of a killed import, on the small school. After
# each: the working folder is as before or as the whole run left it (the next run
# included), and the copies still restore it. Then, where a tmpfs can be mounted, a real
# full disk at every size from the smallest that holds the tables to one the import fits.
#
#   fault_sweep.sh BUILD_DIR SOURCE_DIR
# Environment: SWEEP_STRIDE (default 25): every call of the bookkeeping is tried, one in
# this many of the others (the row writes and reads of the tables, the program's start);
# SWEEP_CALLS=0 skips the strace part, SWEEP_FULL_DISK=0 the tmpfs part.
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
tool="$build/veltra-tempolan"
stride=${SWEEP_STRIDE:-25}
if ! command -v strace >/dev/null; then
    echo "strace no está instalado: se omite"
    exit 77
fi
[ -x "$tool" ] || { echo "falta $tool"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
work="$scratch/TLTEMP"
mkdir -p "$work" "$scratch/VELTRA"
school="$scratch/VELTRA/datos.xml"
other="$scratch/VELTRA/otro.xml"
cp "$src/fuzz/corpus/import/school.xml" "$school"
sed 's/Lengua/Lenguas/g' "$school" >"$other"
printf 'CLAVE,NIVEL,CURSO\n500,ESO,1\n600,ESO,2\n' >"$scratch/codigos.csv"
catalog="$build/VELTMATERIAS.DBF"
import_args=(import "$other" --workdir "$work" --catalog "$catalog" --codes "$scratch/codigos.csv"
    --frames M1)
export_args=(export "$school" --workdir "$work")
restore_args=(restore --workdir "$work")

quiet() { "$@" >/dev/null 2>&1; }

# What the tables hold: one line per file, the bookkeeping, the typed codes and the export's
# document aside. "date": the header's date of last update left out.
tables_sum() {
    (cd "$work" && for f in *; do
        [ -f "$f" ] && [ "$f" != CURSOST2.DBF ] && printf '%s\n' "$f"
    done | if [ "${1:-}" = date ]; then
        while read -r f; do printf '%s %s\n' "$f" "$(tail -c +5 "$f" | sha1sum | cut -c1-40)"; done
    else
        xargs -r sha1sum
    fi)
}
save_state() { tar -C "$scratch" -cf "$1" TLTEMP; }
load_state() { rm -rf "$work" && tar -C "$scratch" -xf "$1"; }

# The school imported whole, the other school's import on top kept aside, then restored.
quiet "$tool" import "$school" --workdir "$work" --catalog "$catalog" \
    --codes "$scratch/codigos.csv" --frames M1 || { echo "la importación de partida falla"; exit 1; }
before=$(tables_sum)
before_d=$(tables_sum date)
save_state "$scratch/school.tar"
quiet "$tool" "${import_args[@]}" || { echo "la importación de la otra falla"; exit 1; }
imported_d=$(tables_sum date)
save_state "$scratch/imported.tar"
quiet "$tool" "${restore_args[@]}"
[ "$(tables_sum)" = "$before" ] || { echo "restore no repone"; exit 1; }
# An import killed when it opens ASIGT, for the recovery.
load_state "$scratch/school.tar"
strace -f -qq -y -e trace=openat,rename -o "$scratch/kill.trace" "$tool" "${import_args[@]}" \
    >/dev/null 2>&1
# The first open of ASIGT after the copies are taken (the checks before open it too).
n=$(awk -v main="$(head -c 20 "$scratch/kill.trace" | cut -d' ' -f1)" '
    $1 != main { next }
    $2 ~ /^openat\(/ { c++ }
    /EN_CURSO"\)/ { copied = 1 }
    copied && $2 ~ /^openat\(/ && /ASIGT\.DBF/ { print c; exit }' "$scratch/kill.trace")
load_state "$scratch/school.tar"
(strace -f -qq -o /dev/null -e trace=openat -e inject=openat:signal=KILL:when="$n" \
    "$tool" "${import_args[@]}" >/dev/null 2>&1; true) 2>/dev/null
[ -d "$work/VELTRA_RESPALDO/EN_CURSO" ] || { echo "no se ha podido matar la importación"; exit 1; }
save_state "$scratch/killed.tar"

calls="openat,read,write,pread64,pwrite64,ftruncate,fsync,getdents64,rename,renameat2,unlink,unlinkat,mkdir,rmdir,flock,statx,newfstatat"
failures=0
runs=0
english='No space left|Input/output error|Too many open files|Permission denied|File name too long|Read-only file system'

fail_case() {
    failures=$((failures + 1))
    echo "FALLO [$1] $2"
}

# mode: import | restore | recovery
sweep() {
    local mode=$1 state args
    case $mode in
    import) state=school.tar args=("${import_args[@]}") ;;
    restore) state=imported.tar args=("${restore_args[@]}") ;;
    recovery) state=killed.tar args=("${export_args[@]}") ;;
    esac
    load_state "$scratch/$state"
    strace -f -qq -y -s0 -e trace="$calls" -o "$scratch/$mode.trace" "$tool" "${args[@]}" \
        >/dev/null 2>&1
    # call kind, its number among the calls of its kind, and whether it is the bookkeeping's
    # Counted from the program's start; tried from its first touch of the working folder
    # (before, it is only loading itself). Looking a name up is one of the others.
    awk -v main="$(head -c 20 "$scratch/$mode.trace" | cut -d' ' -f1)" -v work="$work" '
        $1 != main { next }
        { call = $2; sub(/\(.*/, "", call); if (call ~ /^</) next; n[call]++ }
        index($0, work) { started = 1 }
        !started { next }
        { own = ($0 ~ /VELTRA_RESPALDO/ && call !~ /stat/) ? 1 : 0
          print call, n[call], own }' "$scratch/$mode.trace" >"$scratch/$mode.calls"
    local total picked=0 i=0 call num own
    total=$(wc -l <"$scratch/$mode.calls")
    while read -r call num own; do
        i=$((i + 1))
        if [ "$own" != 1 ] && [ $((i % stride)) -ne 0 ]; then continue; fi
        picked=$((picked + 1))
        # One fault per call, the kinds taken in turn: once EIO, SIGKILL, once ENOSPC (for
        # calls that can meet a full disk), then EIO and ENOSPC from that call on.
        local kinds=("error=EIO:when=$num" "signal=KILL:when=$num")
        case $call in write | pwrite64 | ftruncate | fsync | mkdir | rename | renameat2 | openat)
            kinds+=("error=ENOSPC:when=$num" "error=ENOSPC:when=$num+") ;;
        esac
        kinds+=("error=EIO:when=$num+")
        local faults=("${kinds[$((picked % ${#kinds[@]}))]}")
        local f
        for f in "${faults[@]}"; do
            runs=$((runs + 1))
            load_state "$scratch/$state"
            local said
            said=$(strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:$f" \
                "$tool" "${args[@]}" 2>&1)
            local label="$mode $call#$num $f"
            if grep -Eq "$english" <<<"$said"; then
                fail_case "$label" "texto del sistema en inglés: $(grep -Eo "$english" <<<"$said" | head -1)"
            fi
            # The next run finishes whatever is left.
            local next
            next=$("$tool" "${export_args[@]}" 2>&1)
            local now now_d
            now=$(tables_sum)
            now_d=$(tables_sum date)
            case $mode in
            import | recovery)
                if [ "$now" = "$before" ]; then continue; fi
                if [ "$now_d" = "$imported_d" ]; then
                    if ! quiet "$tool" "${restore_args[@]}" || [ "$(tables_sum)" != "$before" ]; then
                        fail_case "$label" "la importación entera no se puede deshacer"
                    fi
                    continue
                fi
                fail_case "$label" "tablas a medias: $(head -c 300 <<<"$said $next")"
                ;;
            restore)
                if [ "$now" = "$before" ]; then continue; fi
                if [ "$now_d" = "$imported_d" ]; then
                    if ! quiet "$tool" "${restore_args[@]}" || [ "$(tables_sum)" != "$before" ]; then
                        fail_case "$label" "las copias ya no reponen la escuela"
                    fi
                    continue
                fi
                fail_case "$label" "tablas a medias: $(head -c 300 <<<"$said $next")"
                ;;
            esac
        done
    done <"$scratch/$mode.calls"
    echo "$mode: $total llamadas, $picked probadas"
}

start=$(date +%s)
if [ "${SWEEP_CALLS:-1}" != 0 ]; then
    sweep import
    sweep restore
    sweep recovery
fi
echo "$runs ejecuciones con un fallo inyectado, $failures mal, $(($(date +%s) - start)) s"

# A real full disk: a tmpfs of each size, the school's folder copied in, the other import.
if [ "${SWEEP_FULL_DISK:-1}" = 0 ]; then
    echo "se omite el disco lleno de verdad (SWEEP_FULL_DISK=0)"
elif unshare -rm true 2>/dev/null; then
    first_kb=0
    tmp_runs=0
    tmp_bad=0
    size_kb=$(($(du -sk "$work" | cut -f1) / 2))
    while [ "$size_kb" -lt 20000 ]; do
        out=$(unshare -rm bash -c '
            set -u
            mnt=$1 size=$2 tar=$3 tool=$4; shift 4
            mkdir -p "$mnt"
            mount -t tmpfs -o size="${size}k" tmpfs "$mnt" || exit 90
            tar -C "$mnt" -xf "$tar" 2>/dev/null || exit 91
            "$tool" "$@" --workdir "$mnt/TLTEMP" >/dev/null 2>&1
            echo "rc=$?"
            cd "$mnt/TLTEMP" && for f in *; do
                [ -f "$f" ] && [ "$f" != CURSOST2.DBF ] && printf "%s\n" "$f"
            done | xargs -r sha1sum' _ "$scratch/mnt" "$size_kb" "$scratch/school.tar" "$tool" \
            import "$other" --catalog "$catalog" --codes "$scratch/codigos.csv" --frames M1)
        code=$?
        size_kb=$((size_kb + 8))
        [ $code -eq 91 ] && continue # the tables do not fit yet
        [ $code -ne 0 ] && break
        tmp_runs=$((tmp_runs + 1))
        [ "$first_kb" = 0 ] && first_kb=$((size_kb - 8))
        rc=$(head -1 <<<"$out")
        sums=$(tail -n +2 <<<"$out")
        if [ "$rc" = rc=0 ]; then
            echo "disco lleno: la importación cabe en $((size_kb - 8)) KB"
            break
        fi
        if [ "$sums" != "$before" ]; then
            tmp_bad=$((tmp_bad + 1))
            fail_case "tmpfs $((size_kb - 8)) KB" "la carpeta no queda como estaba"
        fi
    done
    echo "disco lleno de verdad: $tmp_runs tamaños desde $first_kb KB, $tmp_bad mal"
else
    echo "no se puede montar un tmpfs aquí: se omite el disco lleno de verdad"
fi

[ "$failures" -eq 0 ]
