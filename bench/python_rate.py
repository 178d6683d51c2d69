#!/usr/bin/env python3
"""Pictures decoded per second through the Python module, next to the program.

usage: PYTHONPATH=build/python /usr/bin/python3 bench/python_rate.py [FOLDER] [--repeat N] [--batch]

Decodes every picture below FOLDER (default: $PDF417_BENCH_CORPUS, else
/work/shared/corpus) by path, each way in 1 and in 2 parallel workers:
  python   pdf417read.read in 1 and 2 threads of one process;
  program  build/pdf417read -q -j 1 and -j 2, one process for all pictures;
  batch    (--batch) tools/batch_decode.py on a local Dask cluster of 1 and 2
           worker processes, cluster start-up included.
Prints the medians over the repeats of pictures per second and of processor
time per picture (this process and the child processes it waited for, so the
batch tool's includes starting its cluster), and how many pictures each way
decoded. Processor time does not depend on what else the machine runs;
pictures per second does.
"""
import argparse
import concurrent.futures
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

REPO = pathlib.Path(__file__).resolve().parents[1]
SUFFIXES = {".bmp", ".png", ".jpg", ".jpeg", ".gif", ".tga", ".pnm", ".pgm", ".ppm"}


def pictures_below(folder):
    return sorted(str(path) for path in pathlib.Path(folder).rglob("*") if path.suffix.lower() in SUFFIXES)


def python_run(files, threads):
    import pdf417read

    def decoded(path):
        return 1 if pdf417read.read(path) else 0

    with concurrent.futures.ThreadPoolExecutor(threads) as pool:
        return sum(pool.map(decoded, files))


def program_run(files, jobs, program):
    result = subprocess.run([program, "-q", "-j", str(jobs), *files], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, check=False)
    return result.stdout.count(b"Result =")


def batch_run(files, workers):
    with tempfile.TemporaryDirectory() as folder:
        output = os.path.join(folder, "out.jsonl")
        subprocess.run([sys.executable, str(REPO / "tools" / "batch_decode.py"), "--no-progress",
                        "--workers", str(workers), "-o", output, *files], check=True, stderr=subprocess.DEVNULL)
        with open(output, encoding="utf-8") as lines:
            return sum('"status": "decoded"' in line for line in lines)


def cpu_seconds():
    """User and system time of this process and the children it has waited for."""
    own, children = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def measure(ways, repeat):
    """Median wall and processor seconds and pictures decoded of each way; the
    ways take turns within each round, so that a change in the machine's load
    hits them all."""
    wall = {way: [] for way in ways}
    cpu = {way: [] for way in ways}
    decoded = {}
    for _ in range(repeat):
        for way, run in ways.items():
            started, started_cpu = time.perf_counter(), cpu_seconds()
            decoded[way] = run()
            wall[way].append(time.perf_counter() - started)
            cpu[way].append(cpu_seconds() - started_cpu)
    return {way: (statistics.median(wall[way]), statistics.median(cpu[way]), decoded[way]) for way in ways}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?",
                        default=os.environ.get("PDF417_BENCH_CORPUS", "/work/shared/corpus"))
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--program", default=str(REPO / "build" / "pdf417read"))
    parser.add_argument("--batch", action="store_true", help="also tools/batch_decode.py on Dask")
    args = parser.parse_args()
    files = pictures_below(args.folder)
    if not files:
        sys.exit("no pictures below " + args.folder)
    ways = {}
    for workers in (1, 2):
        ways["python", workers] = lambda w=workers: python_run(files, w)
        ways["program", workers] = lambda w=workers: program_run(files, w, args.program)
        if args.batch:
            ways["batch", workers] = lambda w=workers: batch_run(files, w)
    print("%d pictures below %s, median of %d runs" % (len(files), args.folder, args.repeat))
    print("%-8s %7s %12s %16s %9s" % ("way", "workers", "pictures/s", "cpu ms/picture", "decoded"))
    for (name, workers), (seconds, cpu, decoded) in sorted(measure(ways, args.repeat).items()):
        print("%-8s %7d %12.1f %16.1f %9d" % (name, workers, len(files) / seconds, 1000 * cpu / len(files), decoded))


if __name__ == "__main__":
    main()
