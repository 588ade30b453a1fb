# Sourced by the benchmarks. link_ground_truth_images SOURCE DEST links every
# image of SOURCE that has a NAME.gt.txt beside it into DEST (.tif as .tiff,
# which the tool accepts) and prints the links, one a line.
link_ground_truth_images() {
  local gt name file ext
  for gt in "$1"/*.gt.txt; do
    name="$(basename "$gt" .gt.txt)"
    for file in "$1/$name".*; do
      [[ "$file" == "$gt" ]] && continue
      ext="${file##*.}"
      [[ "$ext" == tif ]] && ext=tiff
      ln -s "$file" "$2/$name.$ext"
      echo "$2/$name.$ext"
      break
    done
  done
}
