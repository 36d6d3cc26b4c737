#!/usr/bin/env bash
# scripts/check-docs.sh: runs the commands that README.md and docs/*.md give a reader, as the
# reader would, and fails naming the file, the line and the command that did not work.
#
# Which commands run
#   A block of commands runs when the line before it (blank lines between are allowed) is
#
#       <!-- run -->
#
#   and the block is indented by four spaces or fenced with ```. Nothing else runs: synopses
#   ("skvc asm [-o OUT] FILE"), sample output, file contents, and the setup scripts that install
#   packages and build (scripts/play-demo.sh, scripts/test-all.sh, the cmake line) stay unmarked.
#   In a runnable block every non-blank line is one command; a line starting with # is a comment.
#   A marker that no block follows is an error.
#
# Where and how they run
#   - In a scratch folder laid out like the top of the tree after the README's build:
#     examples/ (a copy of the movie sources), build/release/bin/ (copies of skvc, skvplay, qmsd
#     and the plug-in's libraries from --bin) and build/release/examples/ (copies of the built
#     movies from --movies). Whatever the commands write, the caches beside the programs
#     included, stays in the scratch folder, which goes when the script ends.
#   - Each file's commands in order, in one shell that starts at the top of the scratch folder,
#     as in one terminal: `cd` and `export` lines change that shell; every other command runs
#     in a bash of its own, with no input, under a time limit of 120 seconds.
#   - A command that runs qmsd starts a server in the background, on loopback and on free
#     ports: its --port and --http-port become 0, it gets --bind 127.0.0.1 unless it names an
#     address and a --port-file, and the script waits (a bounded number of tries, while the
#     server lives) for the file to name the ports. The later commands of the same file get the
#     ports chosen where they say 127.0.0.1:N or localhost:N for the port N the document gave.
#     The file's servers are stopped with SIGTERM after its last command, and must exit with 0.
#   - skvplay opens a window when there is a display: a skvplay command without --headless
#     runs with it and, unless it gives --seconds or --max-frames, with --seconds 10 (a window
#     stays until someone closes it). The script says so for each such command.
#   - A command that fails is reported as "FAILED FILE:LINE: COMMAND" with its exit status and
#     the end of its output. It ends its file's run (the later commands may need what it did);
#     the other files still run.
#
# usage: scripts/check-docs.sh --bin DIR [--movies DIR] [--keep] [FILE.md ...]
#   --bin DIR     the build's programs (build/<preset>/bin)
#   --movies DIR  the build's example movies (default: DIR/../examples)
#   --keep        keep the scratch folder and say where it is
#   FILE.md       the documents to read (default: README.md and docs/*.md of this tree)
# Exit status: 0 every command worked, 1 a command failed or nothing was marked to run,
# 2 wrong usage.
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin="" movies="" keep=0 files=()
while [ $# -gt 0 ]; do
  case "$1" in
  --bin) bin=${2:-}; shift 2 || { echo "check-docs: --bin needs a folder" >&2; exit 2; } ;;
  --movies) movies=${2:-}; shift 2 || { echo "check-docs: --movies needs a folder" >&2; exit 2; } ;;
  --keep) keep=1; shift ;;
  -h | --help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
  -*) echo "check-docs: unknown option $1 (see --help)" >&2; exit 2 ;;
  *) files+=("$1"); shift ;;
  esac
done
if [ -z "$bin" ]; then
  echo "check-docs: give the build's programs with --bin build/<preset>/bin" >&2
  exit 2
fi
bin=$(cd "$bin" 2>/dev/null && pwd) || { echo "check-docs: no folder $bin" >&2; exit 2; }
movies=$(cd "${movies:-$bin/../examples}" 2>/dev/null && pwd) ||
  { echo "check-docs: no folder of built example movies (--movies)" >&2; exit 2; }
if [ ${#files[@]} -eq 0 ]; then
  files=("$top/README.md" "$top"/docs/*.md)
fi

readonly time_limit=120
scratch=$(mktemp -d "${TMPDIR:-/tmp}/check-docs.XXXXXX")
cleanup() {
  if [ "$keep" = 1 ]; then echo "check-docs: the scratch folder stays in $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

# --- the scratch folder -------------------------------------------------------------------
work=$scratch/top
mkdir -p "$work/build/release/bin" "$work/build/release/examples" "$scratch/logs"
cp -r "$top/examples" "$work/examples"
for p in skvc skvplay qmsd libnpskyv32.so libqa118dec.so; do
  if [ ! -e "$bin/$p" ]; then
    echo "check-docs: $bin/$p is missing: build the tree first" >&2
    exit 1
  fi
  cp "$bin/$p" "$work/build/release/bin/"
done
cp "$movies"/*.skm "$work/build/release/examples/" 2>/dev/null ||
  { echo "check-docs: no movies in $movies: build the tree first" >&2; exit 1; }

# --- reading the documents ----------------------------------------------------------------
# Fills cmd_line[] and cmd_text[] with the runnable commands of one file; answers 1 (after
# saying why) when a marker has no block.
extract() {
  local file=$1 label=$2 n=0 state=text line
  cmd_line=() cmd_text=()
  while IFS= read -r line || [ -n "$line" ]; do
    n=$((n + 1))
    line=${line%$'\r'}
    case "$state" in
    text)
      [[ "$line" =~ ^[[:space:]]*\<\!--[[:space:]]*run[[:space:]]*--\>[[:space:]]*$ ]] && state=marked
      ;;
    marked)
      if [[ -z "${line//[[:space:]]/}" ]]; then continue; fi
      if [[ "$line" =~ ^[[:space:]]{0,3}\`\`\` ]]; then
        state=fence
      elif [[ "$line" =~ ^(    |$'\t') ]]; then
        state=indented
        add_command "$n" "$line"
      else
        echo "$label:$n: <!-- run --> is not followed by a block of commands" >&2
        return 1
      fi
      ;;
    fence)
      if [[ "$line" =~ ^[[:space:]]{0,3}\`\`\` ]]; then state=text; else add_command "$n" "$line"; fi
      ;;
    indented)
      if [[ -z "${line//[[:space:]]/}" ]]; then
        :
      elif [[ "$line" =~ ^(    |$'\t') ]]; then
        add_command "$n" "$line"
      else
        state=text
        [[ "$line" =~ ^[[:space:]]*\<\!--[[:space:]]*run[[:space:]]*--\>[[:space:]]*$ ]] && state=marked
      fi
      ;;
    esac
  done <"$file"
  if [ "$state" = marked ]; then
    echo "$label:$n: <!-- run --> is not followed by a block of commands" >&2
    return 1
  fi
  return 0
}

add_command() {
  local text=$2
  text=${text#"${text%%[![:space:]]*}"} # leading space
  [ -z "$text" ] && return
  [[ "$text" == \#* ]] && return
  cmd_line+=("$1")
  cmd_text+=("$text")
}

# --- running them ---------------------------------------------------------------------------
failed=0

# The program a command runs: its first word without the folder.
program_of() {
  local first=${1%% *}
  echo "${first##*/}"
}

# Says what failed and where, with the end of what it wrote.
report() {
  local where=$1 cmd=$2 why=$3 log=$4
  echo "FAILED $where: $cmd"
  echo "    $why"
  if [ -s "$log" ]; then
    echo "    its output ended with:"
    tail -n 20 "$log" | sed 's/^/    | /'
  fi
}

# Starts the qmsd command $1 in the background; fills port_map with "docport=port" pairs.
start_server() {
  local cmd=$1 log=$2 where=$3 portfile words=() out=() w i has_bind=0 want
  portfile=$scratch/ports.$RANDOM.$RANDOM
  read -ra words <<<"$cmd"
  for ((i = 0; i < ${#words[@]}; i++)); do
    w=${words[i]}
    case "$w" in
    \#*) break ;; # a comment to the end of the line
    --port | --http-port)
      want=${words[i + 1]:-}
      doc_ports+=("$w=$want")
      out+=("$w" 0)
      i=$((i + 1))
      ;;
    --port=* | --http-port=*)
      doc_ports+=("${w%%=*}=${w#*=}")
      out+=("${w%%=*}=0")
      ;;
    --bind | --bind=*) has_bind=1; out+=("$w") ;;
    *) out+=("$w") ;;
    esac
  done
  [ "$has_bind" = 1 ] || out=("${out[0]}" --bind 127.0.0.1 "${out[@]:1}")
  out=("${out[0]}" --port-file "$portfile" "${out[@]:1}")
  echo "  $where: $cmd"
  echo "      runs in the background, on loopback and free ports, as: ${out[*]}"
  bash -c 'exec "$@"' qmsd "${out[@]}" </dev/null >"$log" 2>&1 &
  local pid=$!
  servers+=("$pid")
  # The port file appears, whole, once the server listens.
  for ((i = 0; i < 1000; i++)); do
    [ -s "$portfile" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
  done
  if [ ! -s "$portfile" ]; then
    report "$where" "$cmd" "the server did not start listening" "$log"
    return 1
  fi
  local kind port doc
  while read -r kind port; do
    for doc in "${doc_ports[@]}"; do
      case "$kind:${doc%%=*}" in
      native:--port | http:--http-port) port_map+=("${doc#*=}=$port") ;;
      esac
    done
  done <"$portfile"
  server_where+=("$pid=$where")
  return 0
}

# The command as it runs here (in $adapted, with the reasons in $why): the ports of this file's
# servers, skvplay headless.
adapt() {
  local cmd=$1 pair from to
  why=""
  for pair in "${port_map[@]}"; do
    from=${pair%%=*} to=${pair#*=}
    if [[ "$cmd" == *127.0.0.1:$from* || "$cmd" == *localhost:$from* ]]; then
      cmd=${cmd//127.0.0.1:$from/127.0.0.1:$to}
      cmd=${cmd//localhost:$from/localhost:$to}
      why+="${why:+; }the server's port $from is $to here"
    fi
  done
  if [ "$(program_of "$cmd")" = skvplay ] && [[ " $cmd " != *" --headless "* ]]; then
    local first=${cmd%% *} rest="" extra=" --headless"
    [ "$first" != "$cmd" ] && rest=${cmd#* }
    why+="${why:+; }headless: here skvplay does not open a window"
    if [[ " $cmd " != *" --seconds "* && " $cmd " != *" --max-frames "* ]]; then
      extra+=" --seconds 10"
      why+=", and for 10 s, where a window would stay until it is closed"
    fi
    cmd="$first$extra${rest:+ $rest}"
  fi
  adapted=$cmd
}

stop_servers() {
  local label=$1 entry pid where rc
  for entry in "${server_where[@]}"; do
    pid=${entry%%=*} where=${entry#*=}
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    rc=$?
    if [ "$rc" -ne 0 ]; then
      echo "FAILED $where: qmsd exited with status $rc when stopped with SIGTERM (0 expected)"
      failed=1
    fi
  done
  server_where=() servers=()
}

# Runs the commands of one file in a shell of its own.
run_file() {
  local file=$1 label=$2 i cmd run where log rc
  port_map=() doc_ports=() server_where=() servers=()
  # Servers left by an interrupted run go with it.
  trap 'for p in "${servers[@]}"; do kill -TERM "$p" 2>/dev/null; done' EXIT
  cd "$work" || return 1
  for ((i = 0; i < ${#cmd_text[@]}; i++)); do
    cmd=${cmd_text[i]}
    where="$label:${cmd_line[i]}"
    log=$scratch/logs/$(echo "$where" | tr '/:' '__').log
    if [ "$(program_of "$cmd")" = qmsd ]; then
      start_server "$cmd" "$log" "$where" || { stop_servers "$label"; return 1; }
      continue
    fi
    adapt "$cmd"
    run=$adapted
    echo "  $where: $cmd"
    [ -n "$why" ] && echo "      runs as: $run    ($why)"
    case "$run" in
    cd | "cd "* | "export "*)
      eval "$run" >"$log" 2>&1
      rc=$?
      ;;
    *)
      timeout "$time_limit" bash -c "$run" </dev/null >"$log" 2>&1
      rc=$?
      ;;
    esac
    if [ "$rc" -ne 0 ]; then
      if [ "$rc" -eq 124 ]; then
        report "$where" "$cmd" "it did not end within $time_limit seconds" "$log"
      else
        report "$where" "$cmd" "it exited with status $rc" "$log"
      fi
      stop_servers "$label"
      return 1
    fi
  done
  stop_servers "$label"
  [ "$failed" = 0 ]
}

total=0
for file in "${files[@]}"; do
  if [ ! -f "$file" ]; then
    echo "check-docs: no file $file" >&2
    exit 2
  fi
  path=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")
  label=${path#"$top"/}
  if ! extract "$path" "$label"; then
    failed=1
    continue
  fi
  [ ${#cmd_text[@]} -eq 0 ] && continue
  total=$((total + ${#cmd_text[@]}))
  echo "$label: ${#cmd_text[@]} commands"
  # A subshell per file: its working folder, exports and servers stay its own.
  (run_file "$path" "$label") || failed=1
done

if [ "$total" -eq 0 ]; then
  echo "check-docs: no block is marked <!-- run --> in ${files[*]}" >&2
  exit 1
fi
if [ "$failed" -ne 0 ]; then
  echo "check-docs: a documented command failed (see FAILED above)"
  exit 1
fi
echo "check-docs: all $total documented commands worked"
exit 0
