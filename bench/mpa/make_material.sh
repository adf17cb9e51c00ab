#!/usr/bin/env bash
# Makes the benchmark's programme-like WAV file with ffmpeg: music-like
# harmonic mixes, speech-like modulated noise, transients and noise, one
# after the other, SEGMENT seconds each (48 kHz stereo, 16-bit).
# Usage: make_material.sh OUT.wav [SEGMENT_SECONDS]
set -euo pipefail
out=$1
seg=${2:-150}
music="aevalsrc=exprs='0.12*sin(2*PI*220*pow(2,floor(mod(t,4))/12*4)*t+1.5*sin(2*PI*5*t))+0.09*sin(2*PI*330*t)+0.07*sin(2*PI*441*t)*(0.6+0.4*sin(2*PI*0.7*t))+0.05*sin(2*PI*1320*t)+0.03*sin(2*PI*2640*t)+0.02*sin(2*PI*5280*t)|0.12*sin(2*PI*277*t+2*sin(2*PI*4*t))+0.09*sin(2*PI*415*t)+0.06*sin(2*PI*554*t)*(0.5+0.5*sin(2*PI*0.4*t))+0.04*sin(2*PI*1661*t)+0.02*sin(2*PI*6645*t)':s=48000:d=$seg"
speech="anoisesrc=color=pink:amplitude=0.5:s=48000:d=$seg:seed=7,bandpass=f=700:w=900,tremolo=f=4:d=0.9,tremolo=f=0.7:d=0.5,pan=stereo|c0=c0|c1=0.8*c0"
clicks="aevalsrc=exprs='0.8*sin(2*PI*3000*t)*exp(-mod(t,0.25)*300)+0.6*sin(2*PI*150*t)*exp(-mod(t+0.1,0.5)*40)|0.7*sin(2*PI*4500*t)*exp(-mod(t+0.05,0.25)*250)+0.6*sin(2*PI*150*t)*exp(-mod(t+0.1,0.5)*40)':s=48000:d=$seg"
noise="anoisesrc=color=pink:amplitude=0.3:s=48000:d=$seg:seed=3,pan=stereo|c0=c0|c1=c0"
ffmpeg -nostdin -v error -y \
  -f lavfi -i "$music" -f lavfi -i "$speech" -f lavfi -i "$clicks" -f lavfi -i "$noise" \
  -filter_complex "[0]aformat=channel_layouts=stereo[a];[1]aformat=channel_layouts=stereo[b];[2]aformat=channel_layouts=stereo[c];[3]aformat=channel_layouts=stereo[d];[a][b][c][d]concat=n=4:v=0:a=1" \
  -ar 48000 -ac 2 -c:a pcm_s16le "$out"
