# The soak's samples over the hour: gnuplot -e "dir='OUT_DIR'" soak.gp writes OUT_DIR/soak.png.
set terminal pngcairo size 1200,900 font ",10"
set output dir."/soak.png"
set datafile separator ","
set key autotitle columnhead
set multiplot layout 4,1 title "Soak: the program under full load"
set xlabel "minutes"
set grid
set ylabel "MB"
set yrange [0:*]
plot dir."/soak.csv" using ($1/60):2 with lines title "resident memory"
set ylabel "% of one core"
plot dir."/soak.csv" using ($1/60):3 with lines title "processor"
set ylabel "count"
set yrange [0:*]
plot dir."/soak.csv" using ($1/60):4 with lines title "threads", \
     dir."/soak.csv" using ($1/60):5 with lines title "open files"
set ylabel "ms"
plot dir."/soak.csv" using ($1/60):6 with lines title "longest gap between frames", 200 with lines dashtype 2 title "200 ms"
unset multiplot
