#!/usr/bin/env bash
# Makes the pictures and files that the demonstration account stores (scripts/screenshots.sh):
# FOLDER/pictures and FOLDER/files. Everything is drawn or written here, the same on every run.
#
#   scripts/make-demo-input.sh FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 FOLDER" >&2; exit 2; }
pictures=$1/pictures
files=$1/files
mkdir -p "$pictures" "$files"

# convert's arguments with the output last; the picture is written without metadata.
jpeg() {
    local arguments=("$@")
    local output=${arguments[-1]}
    unset 'arguments[-1]'
    convert "${arguments[@]}" -strip -quality 85 "$output"
}

# A harbour at dawn: sky, sun, hills, sea and two boats.
jpeg -size 1024x768 gradient:'#f7b267-#fde2c0' \
    -fill '#fff1c1' -draw 'circle 690,430 690,490' \
    -fill '#6d597a' -draw 'polygon 0,470 180,380 360,440 520,360 700,450 880,390 1024,430 1024,768 0,768' \
    \( -size 1024x300 gradient:'#5c7aa6-#1f3a5f' \) -gravity south -composite \
    -fill '#2b2d42' -draw 'polygon 220,560 380,560 360,590 240,590' -draw 'line 300,470 300,560' \
    -fill '#f4f1de' -draw 'polygon 303,480 350,550 303,550' \
    -fill '#2b2d42' -draw 'polygon 640,640 760,640 745,662 655,662' -draw 'line 700,580 700,640' \
    "$pictures/Harbour at dawn.jpg"

# A lake below snowy mountains, with a dark forest on the shore.
jpeg -size 1024x768 gradient:'#4ea8de-#cdeaf7' \
    -fill '#6c757d' -draw 'polygon 0,480 250,180 430,400 600,140 820,420 1024,260 1024,520 0,520' \
    -fill '#f8f9fa' -draw 'polygon 250,180 205,235 245,225 285,240' \
    -draw 'polygon 600,140 545,215 600,200 650,210' -draw 'polygon 1024,260 975,310 1024,305' \
    \( -size 1024x260 gradient:'#3a86ff-#023e8a' \) -gravity south -composite \
    -fill '#1b4332' -draw 'polygon 0,520 40,430 80,520' -draw 'polygon 60,520 110,410 160,520' \
    -draw 'polygon 140,520 185,445 230,520' -draw 'polygon 860,520 910,420 960,520' \
    -draw 'polygon 930,520 975,440 1024,520' \
    "$pictures/Lake in the mountains.jpg"

# The garden in June: lawn, sky and rows of flowers.
garden=(-size 1024x768 gradient:'#a8dadc-#e9f5db'
    \( -size 1024x420 gradient:'#95d5b2-#2d6a4f' \) -gravity south -composite)
colours=('#e63946' '#ffb703' '#f72585' '#ffffff' '#7209b7' '#fb8500')
RANDOM=7
for i in $(seq 1 70); do
    x=$((RANDOM % 1024)) y=$((380 + RANDOM % 380)) r=$((6 + RANDOM % 10))
    garden+=(-fill "${colours[$((i % 6))]}" -draw "circle $x,$y $((x + r)),$y")
done
jpeg "${garden[@]}" "$pictures/Garden in June.jpg"

# A birthday cake on the table.
jpeg -size 1024x768 gradient:'#ffe5ec-#ffc2d1' \
    -fill '#8d5524' -draw 'rectangle 0,560 1024,768' \
    -fill '#ffffff' -draw 'ellipse 512,560 300,50 0,360' \
    -fill '#f4acb7' -draw 'rectangle 292,380 732,550' -fill '#ffffff' -draw 'ellipse 512,380 220,40 0,360' \
    -fill '#9d8189' -draw 'rectangle 292,460 732,475' \
    -fill '#ffd166' -draw 'rectangle 420,290 432,370' -draw 'rectangle 506,280 518,365' \
    -draw 'rectangle 592,290 604,370' \
    -fill '#ff7b00' -draw 'ellipse 426,278 7,13 0,360' -draw 'ellipse 512,268 7,13 0,360' \
    -draw 'ellipse 598,278 7,13 0,360' \
    "$pictures/Birthday cake.jpg"

# A winter walk: grey sky, snow and bare trees.
winter=(-size 1024x768 gradient:'#adb5bd-#e9ecef' -fill '#f8f9fa'
    -draw 'polygon 0,520 300,470 640,500 1024,450 1024,768 0,768' -stroke '#343a40' -strokewidth 6)
for x in 120 260 700 860; do
    winter+=(-draw "line $x,520 $x,330" -draw "line $x,400 $((x - 40)),350"
        -draw "line $x,380 $((x + 45)),330" -draw "line $x,440 $((x + 35)),410")
done
jpeg "${winter[@]}" -stroke none -fill '#495057' -draw 'circle 480,600 480,612' \
    -draw 'rectangle 474,612 486,660' "$pictures/Winter walk.jpg"

# Files: a scanned page, notes and tables of ordinary life.
jpeg -size 1240x1754 xc:'#fdfcf7' -fill '#d8e2dc' -draw 'rectangle 90,140 1150,700' \
    -fill '#adb5bd' -draw 'rectangle 140,200 440,600' \
    -fill '#6c757d' -draw 'rectangle 500,220 1080,250' -draw 'rectangle 500,300 980,325' \
    -draw 'rectangle 500,370 1040,395' -draw 'rectangle 500,440 900,465' \
    "$files/Passport scan.jpg"

cat >"$files/Car service history.csv" <<'EOF'
Date,Mileage,Garage,Work,Cost
2021-04-12,18250,Quay Street Motors,Annual service,189.00
2022-04-03,27410,Quay Street Motors,Annual service; front brake pads,312.50
2022-11-20,31980,Tyre Centre,Two winter tyres,236.00
2023-04-15,36120,Quay Street Motors,Annual service; wiper blades,204.90
2024-04-09,44870,Quay Street Motors,Annual service; battery,398.40
2025-04-22,52310,Quay Street Motors,Annual service; cabin filter,221.75
EOF

{
    echo "HOME INSURANCE - POLICY SUMMARY"
    echo
    echo "Insurer:        Lighthouse Mutual (made-up name)"
    echo "Policy number:  HM-2231-0457"
    echo "Renewal date:   1 September"
    echo "Cover:          buildings and contents, accidental damage"
    echo "Excess:         250"
    echo "Claims line:    see the back of the policy booklet"
    echo
    for section in Buildings Contents "Personal possessions" "Legal expenses" "Home emergency"; do
        echo "== $section =="
        for n in 1 2 3 4 5 6; do
            echo "$n. The cover of this section applies as described in the booklet, clause $n,"
            echo "   including the limits and exclusions listed there."
        done
        echo
    done
} >"$files/Home insurance policy.txt"

cat >"$files/Recipes.md" <<'EOF'
# Family recipes

## Grandmother's lentil soup
- 250 g red lentils, 1 onion, 2 carrots, 1 litre stock
- cumin, a bay leaf, lemon juice at the end
Soften the onion and carrots, add lentils and stock, simmer 25 minutes, blend half.

## Rye bread
- 500 g rye flour, 300 g wheat flour, 15 g salt, sourdough starter
Mix the evening before, shape in the morning, bake 50 minutes at 220 degrees.

## Apple cake
- 4 apples, 3 eggs, 150 g sugar, 200 g flour, 100 g butter, cinnamon
EOF

cat >"$files/Wi-Fi and router settings.txt" <<'EOF'
Router: admin page at 192.168.1.1 (password in the vault, "Home router")
Networks: Morgan-Home-5G, Morgan-Guest (guest password changes every season)
Printer: fixed address 192.168.1.20
Firmware last updated: in spring
EOF
