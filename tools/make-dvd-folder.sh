#!/usr/bin/env bash
# Makes a DVD-style folder (OUTDIR/VIDEO_TS/*.VOB) from synthetic sources with
# ffmpeg, for tests and the bundled sample disc. A developer tool: the program
# itself never runs it.
set -euo pipefail

prog=$(basename "$0")
here=$(cd "$(dirname "$0")" && pwd)

usage() {
  cat <<EOF
Usage: $prog [OPTIONS] OUTDIR TITLE_DESC...

Writes OUTDIR/VIDEO_TS/ holding VIDEO_TS.VOB (title 0) and VTS_tt_n.VOB
(title tt, part n) as DVD-style MPEG-2 program streams: 2048-byte packs,
system headers, navigation packs (PCI/DSI bodies all zero), PAL 720x576
25 fps MPEG-2 video with B-frames (GOP of 12, 2 B-frames), and the audio
streams asked for. No IFO files are written.

TITLE_DESC is one argument of blank-separated KEY=VALUE pairs:
  title=N        title number, 0..99 (required); 0 is VIDEO_TS.VOB, one part
  seconds=S      duration in seconds, decimals allowed (default 2)
  parts=P        number of VOB files, 1..9 (default 1): the title is cut at
                 pack boundaries into P parts of (nearly) equal pack counts
  audio=LIST     comma-separated audio streams (default: none), in order:
                   ac3[:OPT...]  AC-3, private stream 1, sub-streams 0x80, 0x81..
                                 default 6ch (5.1) 448k; under 5ch 192k
                   pcm[:OPT...]  LPCM 16 bit (pcm_dvd), sub-streams 0xA0, 0xA1..
                                 default 2ch
                   mp2[:OPT...]  MPEG-1 Layer II, PES streams 0xC0, 0xC1..
                                 default 2ch 192k
                 OPT: Nch (channels: ac3 1..6, pcm 1..8, mp2 1..2),
                      NNNk (bit rate, ac3/mp2),
                      NNNNNhz (sample rate, default 48000hz)
  video=SRC      testsrc2 (default), mandelbrot or color (cheapest to encode)
  vbitrate=R     video bit rate as ffmpeg takes it (default 2M; maxrate 9M)
  signal=KIND    audio content: bursts (default) or steady
  endcode=yes    end the last part with a 2048-byte block holding the program
                 end code 00 00 01 B9 and zeros (default no: the title ends
                 with the end of its last file, as ffmpeg writes it)

Audio content: channel c (0-based, in the codec's channel order) of the
title's audio stream s (0-based over the whole audio list) is a sine of
  200*(c+1) + 1500*s Hz at amplitude 0.25 (-12 dBFS),
except the LFE channel (index 3 of 5.1, 6.1, 7.1), which is 60 Hz.
In ffmpeg's 5.1 order: L 200, R 400, C 600, LFE 60, Ls 1000, Rs 1200 Hz
for stream 0; 1500 Hz higher for stream 1, and so on.
With signal=bursts it sounds during the first half of every second only
(on at t = 0, 1, 2 ... s, off at t = 0.5, 1.5 ...), so sharp onsets mark
the timing: the first onset belongs with video frame 0 (testsrc2 shows the
frame time). With signal=steady it sounds throughout.

Options:
  --lowercase    write video_ts/ and lower-case file names (vts_01_1.vob)
  --force        remove an existing OUTDIR/VIDEO_TS (or video_ts) first
  --no-check     skip the layout check of the files made
  --scan-listing FILE
                 also write the title list a scan of the folder gives (no
                 volume label line: a plain folder has none) to FILE ('-' for
                 stdout): "Title #N  (SMB)" with S = (total bytes + 0x80000)
                 / 0x100000, at least 1, then "  MPEG stream #i", "  PCM
                 stream #i", "  AC3 stream #i" lines; titles from 0 up, gaps
                 below 10 skipped, the first missing title from 10 on ends it.
                 (Every stream made has packets in the title's first packs.)
  -q, --quiet    print nothing but errors
  -h, --help     this text

Output is deterministic for a given ffmpeg build (bit-exact flags, synthetic
sources). Every file is checked (unless --no-check): ffprobe reads it as an
MPEG program stream, its size is a whole number of 2048-byte packs, every
pack starts with a 14-byte pack header and its records fill it exactly, and
the title's stream ids (and private stream 1 sub-stream ids, the first
payload byte) are the ones asked for. Needs ffmpeg, ffprobe and python3.

Exit status: 0 when every title was made (and checked), 1 when ffmpeg or the
check failed, 2 for a usage error (nothing is written then).

Examples:
  $prog out/disc "title=0 seconds=1" \\
      "title=1 seconds=8 parts=2 audio=ac3:6ch:448k,pcm" \\
      "title=2 seconds=4 audio=ac3:2ch:192k"
  $prog --lowercase out/gaps "title=1 audio=mp2" "title=5 audio=ac3,ac3:2ch"
EOF
}

die() { echo "$prog: $*" >&2; exit 2; }

lowercase=0
force=0
check=1
quiet=0
listing=""
positional=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --lowercase) lowercase=1 ;;
    --force) force=1 ;;
    --no-check) check=0 ;;
    -q|--quiet) quiet=1 ;;
    --scan-listing)
      [ $# -ge 2 ] || die "--scan-listing needs a FILE"
      listing=$2; shift ;;
    --) shift; positional+=("$@"); break ;;
    -*) die "unknown option '$1' (see --help)" ;;
    *) positional+=("$1") ;;
  esac
  shift
done
[ ${#positional[@]} -ge 2 ] || { usage >&2; exit 2; }
outdir=${positional[0]}
descs=("${positional[@]:1}")

for tool in ffmpeg ffprobe; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is needed (Debian package ffmpeg)"
done
if [ $check -eq 1 ]; then
  command -v python3 >/dev/null 2>&1 || die "python3 is needed for the check (or use --no-check)"
fi

say() { [ $quiet -eq 1 ] || echo "$@"; }

# VOB file name of (title, part), in the case asked for.
vob_name() {
  local name
  if [ "$1" -eq 0 ]; then name=VIDEO_TS.VOB; else printf -v name 'VTS_%02d_%d.VOB' "$1" "$2"; fi
  if [ $lowercase -eq 1 ]; then name=${name,,}; fi
  echo "$name"
}

is_uint() { [[ $1 =~ ^[0-9]+$ ]]; }

# Parses one audio stream description into the globals a_kind a_channels
# a_bitrate a_rate.
parse_audio() {
  local desc=$1 opt
  IFS=: read -r -a parts_ <<<"$desc"
  a_kind=${parts_[0]}
  a_channels=""; a_bitrate=""; a_rate=48000
  case "$a_kind" in ac3|pcm|mp2) ;; *) die "audio '$desc': kind must be ac3, pcm or mp2" ;; esac
  for opt in "${parts_[@]:1}"; do
    if [[ $opt =~ ^([0-9]+)ch$ ]]; then a_channels=${BASH_REMATCH[1]}
    elif [[ $opt =~ ^([0-9]+)k$ ]]; then a_bitrate=${BASH_REMATCH[1]}k
    elif [[ $opt =~ ^([0-9]+)hz$ ]]; then a_rate=${BASH_REMATCH[1]}
    else die "audio '$desc': unknown option '$opt'"
    fi
  done
  case "$a_kind" in
    ac3)
      : "${a_channels:=6}"
      [ -n "$a_bitrate" ] || { if [ "$a_channels" -ge 5 ]; then a_bitrate=448k; else a_bitrate=192k; fi; } ;;
    pcm)
      : "${a_channels:=2}"
      [ -z "$a_bitrate" ] || die "audio '$desc': LPCM has no bit rate option" ;;
    mp2)
      : "${a_channels:=2}"; : "${a_bitrate:=192k}" ;;
  esac
  local most=8
  case "$a_kind" in ac3) most=6 ;; mp2) most=2 ;; esac
  if [ "$a_channels" -lt 1 ] || [ "$a_channels" -gt $most ]; then die "audio '$desc': 1 to $most channels"; fi
}

# ffmpeg channel layout name for a channel count (AC-3 takes up to 6).
layout_for() {
  case "$1" in
    1) echo mono ;; 2) echo stereo ;; 3) echo 3.0 ;; 4) echo quad ;;
    5) echo 5.0 ;; 6) echo 5.1 ;; 7) echo 6.1 ;; 8) echo 7.1 ;;
  esac
}

# The aevalsrc expressions of audio stream s with n channels.
signal_exprs() {
  local s=$1 n=$2 signal=$3 c exprs="" gate=""
  [ "$signal" = bursts ] && gate="*lt(mod(t\\,1)\\,0.5)"
  for ((c = 0; c < n; c++)); do
    [ -z "$exprs" ] || exprs+="|"
    local f=$((200 * (c + 1) + 1500 * s))
    # The LFE channel (index 3 of 5.1, 6.1, 7.1) carries only low tones.
    if [ "$n" -ge 6 ] && [ "$c" -eq 3 ]; then f=60; fi
    exprs+="0.25*sin(2*PI*$f*t)$gate"
  done
  echo "$exprs"
}

# ---- parse every title description first, so that a bad one writes nothing
declare -A seen_title=() title_bytes=() title_streams=()
t_title=(); t_seconds=(); t_parts=(); t_audio=(); t_video=(); t_vbitrate=(); t_signal=(); t_endcode=()
for desc in "${descs[@]}"; do
  title=""; seconds=2; parts=1; audio=""; video=testsrc2; vbitrate=2M; signal=bursts; endcode=no
  read -r -a kvs_ <<<"$desc"
  for kv in "${kvs_[@]}"; do
    key=${kv%%=*}; value=${kv#*=}
    [ "$key" != "$kv" ] || die "title description '$desc': '$kv' is not KEY=VALUE"
    case "$key" in
      title) title=$value ;;
      seconds) seconds=$value ;;
      parts) parts=$value ;;
      audio) audio=$value ;;
      video) video=$value ;;
      vbitrate) vbitrate=$value ;;
      signal) signal=$value ;;
      endcode) endcode=$value ;;
      *) die "title description '$desc': unknown key '$key'" ;;
    esac
  done
  if ! is_uint "$title" || [ "$title" -gt 99 ]; then die "title description '$desc': title=0..99 is required"; fi
  title=$((10#$title))
  [ -z "${seen_title[$title]:-}" ] || die "title $title given twice"
  seen_title[$title]=1
  [[ $seconds =~ ^[0-9]*\.?[0-9]+$ ]] || die "title description '$desc': bad seconds '$seconds'"
  if ! is_uint "$parts" || [ "$parts" -lt 1 ] || [ "$parts" -gt 9 ]; then die "title description '$desc': parts=1..9"; fi
  [ "$title" -ne 0 ] || [ "$parts" -eq 1 ] || die "title 0 (VIDEO_TS.VOB) has one part only"
  case "$video" in testsrc2|mandelbrot|color) ;; *) die "title description '$desc': video=testsrc2|mandelbrot|color" ;; esac
  case "$signal" in bursts|steady) ;; *) die "title description '$desc': signal=bursts|steady" ;; esac
  case "$endcode" in yes|no) ;; *) die "title description '$desc': endcode=yes|no" ;; esac
  if [ -n "$audio" ] && [ "$audio" != none ]; then
    IFS=, read -r -a streams_ <<<"$audio"
    n_ac3=0
    for a in "${streams_[@]}"; do
      parse_audio "$a"
      [ "$a_kind" != ac3 ] || n_ac3=$((n_ac3 + 1))
    done
    # Sub-stream 0x89 and up is DTS to a DVD player.
    [ $n_ac3 -le 9 ] || die "title description '$desc': at most 9 AC-3 streams (0x80..0x88)"
  else
    audio=""
  fi
  t_title+=("$title"); t_seconds+=("$seconds"); t_parts+=("$parts"); t_audio+=("$audio")
  t_video+=("$video"); t_vbitrate+=("$vbitrate"); t_signal+=("$signal"); t_endcode+=("$endcode")
done

vts=VIDEO_TS
[ $lowercase -eq 0 ] || vts=video_ts
for existing in "$outdir/VIDEO_TS" "$outdir/video_ts"; do
  if [ -e "$existing" ]; then
    [ $force -eq 1 ] || die "$existing exists (use --force to replace it)"
    rm -rf -- "$existing"
  fi
done
mkdir -p -- "$outdir/$vts"
work=$(mktemp -d "$outdir/.make-dvd-folder.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

# ---- make one title: one ffmpeg run, then the cut into parts
make_title() {
  local i=$1
  local title=${t_title[$i]} seconds=${t_seconds[$i]} parts=${t_parts[$i]}
  local audio=${t_audio[$i]} video=${t_video[$i]} signal=${t_signal[$i]}
  local args=(-hide_banner -nostdin -loglevel warning -y)
  local vsrc
  case "$video" in
    testsrc2) vsrc="testsrc2=size=720x576:rate=25:duration=$seconds" ;;
    mandelbrot) vsrc="mandelbrot=size=720x576:rate=25,trim=duration=$seconds" ;;
    color) vsrc="color=c=0x204060:size=720x576:rate=25:duration=$seconds" ;;
  esac
  args+=(-f lavfi -i "$vsrc")
  local maps=(-map 0:v) codecs=() s=0 a ac3_n=0 pcm_n=0 mp2_n=0
  local expected="e0"
  if [ -n "$audio" ]; then
    IFS=, read -r -a streams_ <<<"$audio"
    for a in "${streams_[@]}"; do
      parse_audio "$a"
      args+=(-f lavfi -i "aevalsrc=exprs=$(signal_exprs $s "$a_channels" "$signal"):s=$a_rate:c=$(layout_for "$a_channels"):d=$seconds")
      maps+=(-map "$((s + 1)):a")
      case "$a_kind" in
        ac3) codecs+=("-c:a:$s" ac3 "-b:a:$s" "$a_bitrate"); expected+=" bd/$(printf %02x $((0x80 + ac3_n)))"; ac3_n=$((ac3_n + 1)) ;;
        pcm) codecs+=("-c:a:$s" pcm_dvd "-sample_fmt:a:$s" s16); expected+=" bd/$(printf %02x $((0xA0 + pcm_n)))"; pcm_n=$((pcm_n + 1)) ;;
        mp2) codecs+=("-c:a:$s" mp2 "-b:a:$s" "$a_bitrate"); expected+=" $(printf %02x $((0xC0 + mp2_n)))"; mp2_n=$((mp2_n + 1)) ;;
      esac
      s=$((s + 1))
    done
  fi
  local whole="$work/title$title.vob" log="$work/title$title.log"
  args+=("${maps[@]}"
    -c:v mpeg2video -b:v "${t_vbitrate[$i]}" -maxrate 9000000 -bufsize 1835008
    -g 12 -bf 2 -pix_fmt yuv420p -aspect 4:3
    "${codecs[@]}"
    -f dvd -packetsize 2048 -muxrate 10080000
    -fflags +bitexact -flags +bitexact "$whole")
  if ! ffmpeg "${args[@]}" 2>"$log"; then
    cat "$log" >&2; echo "$prog: ffmpeg failed for title $title" >&2; exit 1
  fi
  # The muxer says "underflow" when the packs it wrote break the stream's
  # buffer model; such a file is no DVD and must not pass.
  if grep -qi underflow "$log"; then
    cat "$log" >&2; echo "$prog: ffmpeg reports buffer underflow for title $title" >&2; exit 1
  fi

  local size packs
  size=$(stat -c %s "$whole")
  [ $((size % 2048)) -eq 0 ] || { echo "$prog: title $title: ffmpeg wrote $size bytes, not whole packs" >&2; exit 1; }
  packs=$((size / 2048))
  [ "$packs" -ge "$parts" ] || { echo "$prog: title $title: $packs packs cannot make $parts parts" >&2; exit 1; }
  local p start=0 count names=()
  for ((p = 1; p <= parts; p++)); do
    count=$(( packs * p / parts - packs * (p - 1) / parts ))
    local out
    out="$outdir/$vts/$(vob_name "$title" "$p")"
    if [ "$parts" -eq 1 ]; then
      mv -- "$whole" "$out"
    else
      dd if="$whole" of="$out" bs=1M iflag=skip_bytes,count_bytes \
         skip=$((start * 2048)) count=$((count * 2048)) status=none
    fi
    names+=("$out")
    start=$((start + count))
  done
  rm -f -- "$whole"
  if [ "${t_endcode[$i]}" = yes ]; then
    { printf '\x00\x00\x01\xb9'; head -c 2044 /dev/zero; } >>"${names[-1]}"
  fi
  say "title $title: ${seconds}s, $packs packs in $parts part(s), streams: $expected"
  local total=0 f
  for f in "${names[@]}"; do total=$((total + $(stat -c %s "$f"))); done
  title_bytes[$title]=$total
  title_streams[$title]="$mp2_n $pcm_n $ac3_n"

  if [ $check -eq 1 ]; then
    local fmt
    for f in "${names[@]}"; do
      fmt=$(ffprobe -v error -show_entries format=format_name -of default=nw=1:nk=1 "$f" 2>/dev/null) || fmt=""
      [ "$fmt" = mpeg ] || { echo "$prog: ffprobe does not read $f as an MPEG program stream ($fmt)" >&2; exit 1; }
    done
    python3 "$here/check_dvd_title.py" --expect "$expected" "${names[@]}" \
      || { echo "$prog: check failed for title $title" >&2; exit 1; }
  fi
}

# The lines a scan of the folder lists, in its order.
scan_listing() {
  local t size_mb n i
  for ((t = 0; t <= 99; t++)); do
    if [ -z "${title_bytes[$t]:-}" ]; then
      if [ $t -lt 10 ]; then continue; else break; fi
    fi
    size_mb=$(( (title_bytes[$t] + 0x80000) / 0x100000 ))
    [ $size_mb -ne 0 ] || size_mb=1
    echo "Title #$t  (${size_mb}MB)"
    read -r -a n <<<"${title_streams[$t]}"
    for ((i = 0; i < n[0]; i++)); do echo "  MPEG stream #$i"; done
    for ((i = 0; i < n[1]; i++)); do echo "  PCM stream #$i"; done
    for ((i = 0; i < n[2]; i++)); do echo "  AC3 stream #$i"; done
  done
}

for i in "${!t_title[@]}"; do make_title "$i"; done
if [ -n "$listing" ]; then
  if [ "$listing" = - ]; then scan_listing; else scan_listing >"$listing"; fi
fi
say "made $outdir/$vts"
