#!/usr/bin/env bash
# Draws the pictures of the gallery skin with ImageMagick (Debian package
# imagemagick). Button state pictures are flat colours with a 1-pixel darker
# rim so tests can tell the states apart by one pixel in the middle:
#   btn_normal  #3C78D8   btn_hot  #5A96F0   btn_pushed  #1E50A0   btn_disabled  #B4B4B4
# Usage: make_images.sh [OUTPUT_FOLDER]   (default: the folder of this script)
set -euo pipefail
out=${1:-$(dirname "$(readlink -f "$0")")}
cd "$out"

button() {  # name fill rim
  convert -size 80x28 xc:none -fill "$2" -stroke "$3" -strokewidth 1 \
    -draw "roundrectangle 0,0 79,27 4,4" "PNG32:$1.png"
}
button btn_normal '#3C78D8' '#2A5AA8'
button btn_hot '#5A96F0' '#3C78D8'
button btn_pushed '#1E50A0' '#143C80'
button btn_disabled '#B4B4B4' '#969696'

# Check box and radio pictures, 16 x 16.
convert -size 16x16 xc:none -fill white -stroke '#7A7A7A' -draw "rectangle 0,0 15,15" PNG32:check_normal.png
convert -size 16x16 xc:none -fill '#2E9E4F' -stroke '#1F7A3A' -draw "rectangle 0,0 15,15" \
  -stroke white -strokewidth 2 -fill none -draw "polyline 3,8 6,11 12,4" PNG32:check_selected.png
convert -size 16x16 xc:none -fill white -stroke '#7A7A7A' -draw "circle 7.5,7.5 7.5,0.5" PNG32:radio_normal.png
convert -size 16x16 xc:none -fill white -stroke '#2E9E4F' -draw "circle 7.5,7.5 7.5,0.5" \
  -fill '#2E9E4F' -stroke none -draw "circle 7.5,7.5 7.5,3.5" PNG32:radio_selected.png

# Page tabs, 96 x 30: plain and selected (with a bar under the text).
convert -size 96x30 xc:'#E4E9F2' PNG32:tab_normal.png
convert -size 96x30 xc:'#FFFFFF' -fill '#2B579A' -draw "rectangle 0,27 95,29" PNG32:tab_selected.png

# Slider: thumb 14 x 14, track 200 x 6 (stretched with corners).
convert -size 14x14 xc:none -fill '#FFFFFF' -stroke '#2B579A' -strokewidth 2 -draw "circle 6.5,6.5 6.5,1" PNG32:slider_thumb.png
convert -size 20x6 xc:none -fill '#C8D0DC' -draw "roundrectangle 0,0 19,5 3,3" PNG32:slider_bk.png
convert -size 20x6 xc:none -fill '#2B579A' -draw "roundrectangle 0,0 19,5 3,3" PNG32:slider_fore.png

# Icons: a star for the fore-image button, the exit icons of the menu.
convert -size 24x24 xc:none -fill '#F5B700' -stroke '#C08A00' \
  -draw "polygon 12,1 15,9 23,9 17,14 19,22 12,17 5,22 7,14 1,9 9,9" PNG32:icon_star.png
convert -size 16x16 xc:none -fill '#D83C3C' -draw "circle 7.5,7.5 7.5,0.5" \
  -stroke white -strokewidth 2 -draw "line 5,5 10,10" -draw "line 10,5 5,10" PNG32:menu_icon_exit_1.png
convert -size 16x16 xc:none -fill '#FF6060' -draw "circle 7.5,7.5 7.5,0.5" \
  -stroke white -strokewidth 2 -draw "line 5,5 10,10" -draw "line 10,5 5,10" PNG32:menu_icon_exit_2.png

# Tile thumbnails, 88 x 56, one colour each.
i=0
for c in '#E57373' '#F06292' '#BA68C8' '#9575CD' '#7986CB' '#64B5F6' '#4FC3F7' '#4DD0E1' \
         '#4DB6AC' '#81C784' '#AED581' '#DCE775' '#FFD54F' '#FFB74D' '#FF8A65' '#A1887F'; do
  i=$((i + 1))
  convert -size 88x56 "gradient:$c-#FFFFFF" PNG32:"tile_$i.png"
done

# The window background: a soft vertical gradient.
convert -size 900x620 gradient:'#F7F9FC-#E3E9F3' PNG32:bk.png
# A second background for the skin change.
convert -size 900x620 gradient:'#FCEFE3-#F3D9C4' PNG32:bk_2.png

# The program's own controls (controls.xml): the selected mark of tiles and
# skin buttons (a white tick on a green disc, 25 x 25), the spin box arrows
# (17 x 10) and the thumbnail of a skin button (98 x 60).
convert -size 25x25 xc:none -fill '#2E9E4F' -stroke white -strokewidth 1.5 -draw "circle 12,12 12,1.5" \
  -stroke white -strokewidth 3 -fill none -draw "polyline 6,13 10,17 18,8" PNG32:titlelayoutItem_selected_icon.png
convert -size 17x10 xc:'#F4F4F4' -fill '#5A5A5A' -draw "polygon 4,7 12,7 8,2" PNG32:spin_up.png
convert -size 17x10 xc:'#F4F4F4' -fill '#5A5A5A' -draw "polygon 4,2 12,2 8,7" PNG32:spin_down.png
j=0
for c in '#2B579A' '#8E3B46' '#2E7D32' '#6A4C93'; do
  j=$((j + 1))
  convert -size 98x60 "gradient:$c-#E3E9F3" -fill '#FFFFFF' -draw "rectangle 8,8 40,14" PNG32:"skin_thumb_$j.png"
done
