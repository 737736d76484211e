#!/bin/bash
# Draws the window images into resources/. Needs ImageMagick and the DejaVu fonts;
# the PNGs are committed, so a build does not need this script.
set -euo pipefail
cd "$(dirname "$0")/../resources"
font=DejaVu-Sans-Bold

# Logo, 3848 x 529: a film-strip mark and the product name. The main window covers the
# right end with a plain label of the same grey, so everything is drawn left of x=3000.
convert -size 3848x529 xc:'#ebebeb' \
    -fill '#2d3e63' -draw 'roundrectangle 40,40 489,489 60,60' \
    -fill '#ebebeb' -draw 'rectangle 110,70 150,110 rectangle 110,190 150,230 rectangle 110,310 150,350 rectangle 110,430 150,460' \
    -fill '#ebebeb' -draw 'rectangle 380,70 420,110 rectangle 380,190 420,230 rectangle 380,310 420,350 rectangle 380,430 420,460' \
    -fill '#f2a03d' -draw 'polygon 200,160 200,370 330,265' \
    -font "$font" -pointsize 232 -fill '#2d3e63' -annotate +570+340 'Orlenne Converter' \
    -font DejaVu-Sans -pointsize 90 -fill '#6a6ea9' -annotate +590+470 'batch conversion for editors' \
    CONVERTER2-CROPPEDPNG.png

# Drop area, 559 x 281: invites the user to drag files and folders onto the list.
convert -size 559x281 xc:white \
    -fill none -stroke '#9c9c9c' -strokewidth 4 -draw 'stroke-dasharray 18 10 roundrectangle 12,12 546,268 20,20' \
    -stroke none -fill '#6a6ea9' -draw 'polygon 279,60 239,110 264,110 264,150 294,150 294,110 319,110' \
    -font "$font" -pointsize 26 -fill '#4a4a4a' -gravity center -annotate +0+50 'Drag and drop files and folders here' \
    -font DejaVu-Sans -pointsize 15 -fill '#7a7a7a' -annotate +0+90 'then choose a DESTINATION and press ANALYZE' \
    addfilesfolders.png

# Splash, 320 x 240: logo mark, tagline and version.
convert -size 320x240 gradient:'#2d3e63'-'#14203a' \
    -fill '#f2a03d' -draw 'polygon 140,40 140,110 195,75' \
    -font "$font" -pointsize 28 -fill white -gravity north -annotate +0+125 'Orlenne Converter' \
    -font DejaVu-Sans -pointsize 13 -fill '#d0d4ec' -annotate +0+165 'whole disks and folders, converted' \
    -pointsize 11 -fill '#9aa0c8' -gravity south -annotate +0+12 'version 1.0' \
    splashform.png

# Menu icon, 256 x 256: the logo's film-strip mark on its own, on a clear background.
convert -size 256x256 xc:none \
    -fill '#2d3e63' -draw 'roundrectangle 8,8 247,247 30,30' \
    -fill '#ebebeb' -draw 'rectangle 40,30 60,50 rectangle 40,88 60,108 rectangle 40,146 60,166 rectangle 40,204 60,224' \
    -fill '#ebebeb' -draw 'rectangle 196,30 216,50 rectangle 196,88 216,108 rectangle 196,146 216,166 rectangle 196,204 216,224' \
    -fill '#f2a03d' -draw 'polygon 100,76 100,180 164,128' \
    orlenne-converter.png
