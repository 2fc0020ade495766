#!/usr/bin/env bash
# Draws and plays the sample videos and songs with ffmpeg.
#   make_av.sh RECIPE OUTPUT
# Videos are FLV (Sorenson H.263 picture, MP3 sound), the kind the video-player
# movie plays through NetStream; their sound frames stand alone (no bit
# reservoir), so playing from any point, as after a seek, starts cleanly.
# Songs are MP3.  Everything is computed, so the
# same recipe always gives the same content.
set -euo pipefail

recipe=${1:?recipe}
out=${2:?output file}
ffmpeg=${FFMPEG:-ffmpeg}

# note name -> frequency in Hz; "-" is a rest
freq() {
  case $1 in
    G3) echo 196 ;; A3) echo 220 ;; B3) echo 247 ;;
    C4) echo 262 ;; D4) echo 294 ;; E4) echo 330 ;; F4) echo 349 ;;
    G4) echo 392 ;; A4) echo 440 ;; B4) echo 494 ;; C5) echo 523 ;;
    -) echo 0 ;;
    *) echo "make_av.sh: unknown note $1" >&2; exit 2 ;;
  esac
}

# An aevalsrc expression that plucks the notes one after another, each lasting
# $2 seconds, the tune repeating.  Every note fades out before the next one
# starts, so the joins do not click.
melody() {
  local notes=($1) step=$2
  local n=${#notes[@]} f="0" i
  for ((i = n - 1; i >= 0; i--)); do
    f="if(eq(mod(floor(t/$step),$n),$i),$(freq "${notes[i]}"),$f)"
  done
  local ph="mod(t,$step)"
  local env="min(1,$ph*200)*exp(-2.5*$ph)*(1-$ph/$step)"
  # the note's frequency is looked up once per sample and kept in slot 0
  echo "st(0,$f);0.45*$env*(sin(2*PI*ld(0)*t)+0.35*sin(4*PI*ld(0)*t)+0.12*sin(6*PI*ld(0)*t))"
}

twinkle="C4 C4 G4 G4 A4 A4 G4 - F4 F4 E4 E4 D4 D4 C4 - G4 G4 F4 F4 E4 E4 D4 - G4 G4 F4 F4 E4 E4 D4 -"
tigers="C4 D4 E4 C4 C4 D4 E4 C4 E4 F4 G4 - E4 F4 G4 - G4 A4 G4 F4 E4 C4 G4 A4 G4 F4 E4 C4 C4 G3 C4 - C4 G3 C4 -"
arpeggio="C4 E4 G4 C5 G4 E4 C4 - F4 A4 C5 A4 G4 B4 D4 G4"

video() { # VIDEO_SOURCE_GRAPH NOTES STEP SECONDS
  "$ffmpeg" -nostdin -v error -y \
    -f lavfi -i "$1" \
    -f lavfi -i "aevalsrc=exprs='$(melody "$2" "$3")':s=22050:c=mono:d=$4" \
    -t "$4" -map 0:v -map 1:a \
    -c:v flv -q:v 7 -g 25 -pix_fmt yuv420p \
    -c:a libmp3lame -ar 22050 -ac 1 -b:a 48k -reservoir 0 \
    -f flv "$tmp"
}

song() { # NOTES STEP SECONDS TITLE
  "$ffmpeg" -nostdin -v error -y \
    -f lavfi -i "aevalsrc=exprs='$(melody "$1" "$2")':s=22050:c=mono:d=$3" \
    -c:a libmp3lame -ar 44100 -ac 2 -b:a 96k -metadata title="$4" \
    -f mp3 "$tmp"
}

tmp="$out.part"
trap 'rm -f "$tmp"' EXIT
case $recipe in
  kaleidoscope) # a colourful fractal that turns its colours while zooming in
    video "mandelbrot=s=320x240:rate=25:maxiter=160:start_scale=2.5:end_scale=0.25:end_pts=200:outer=normalized_iteration_count,hue=H=2*PI*t/8,format=yuv420p" \
      "$arpeggio" 0.25 8 ;;
  cells) # coloured cells that live, grow and fade
    video "life=s=80x60:rate=12:mold=10:ratio=0.12:death_color=#1B2A6B:life_color=#FFD23F:mold_color=#5A7BD5,fps=25,scale=320:240:flags=neighbor,format=yuv420p" \
      "$twinkle" 0.3 8 ;;
  rainbow) # slowly changing rainbow colours with a bouncing yellow ball
    video "gradients=s=320x240:rate=25:speed=0.03:n=4:c0=#FF5A5F:c1=#FFD23F:c2=#3CC47C:c3=#2D9CDB[sky];color=c=black:s=50x50:r=25,format=rgba,geq=r=255:g=214:b=64:a='255*lte(hypot(X-24.5,Y-24.5),24)'[ball];[sky][ball]overlay=x='135+110*sin(2*PI*t/4)':y='180-160*abs(sin(PI*t/1.5))':shortest=1,format=yuv420p[out0]" \
      "$tigers" 0.3 8 ;;
  twinkle) song "$twinkle" 0.4 13 "Twinkle" ;;
  tigers) song "$tigers" 0.35 13 "Two tigers" ;;
  *) echo "make_av.sh: unknown recipe '$recipe'" >&2; exit 2 ;;
esac
mv -f "$tmp" "$out"
