"""tools/batch_decode.py on small Dask clusters of two worker processes."""
import base64
import collections
import json
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import REPO, make_symbol

distributed = pytest.importorskip("distributed")
# Dask's event loop set-up on Debian 12's tornado; not ours.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")

BATCH = REPO / "tools" / "batch_decode.py"
CORPUS = pathlib.Path(os.environ.get("PDF417_CORPUS", "/work/shared/corpus"))
PROGRAM = pathlib.Path(os.environ.get("PDF417READ_PROGRAM", REPO / "build" / "pdf417read"))
SYMBOL_FIELDS = {"text", "bytes", "verified", "ec_level", "rows", "columns", "corners", "eci", "compact",
                 "mirrored", "reader_init", "macro"}


def run_batch(*arguments):
    subprocess.run([sys.executable, str(BATCH), "--no-progress", *map(str, arguments)],
                   check=True, capture_output=True, timeout=600)


def records(path):
    with open(path, encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


@pytest.fixture(scope="module")
def scheduler():
    """A local cluster the tool reaches by its address, as it would a remote one."""
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        yield cluster.scheduler_address


@pytest.mark.skipif(not CORPUS.is_dir(), reason="no corpus at " + str(CORPUS))
@pytest.mark.skipif(not PROGRAM.is_file(), reason="no pdf417read program at " + str(PROGRAM))
def test_corpus_on_two_local_workers_reads_what_the_program_reads(tmp_path):
    output = tmp_path / "corpus.jsonl"
    run_batch("--workers", 2, "-o", output, CORPUS)
    by_file = {record["file"]: record for record in records(output)}
    files = sorted(by_file)
    program = subprocess.run([str(PROGRAM), "-q", "-j", "2", *files], capture_output=True, timeout=600)
    # The program prints the results of the pictures it decodes, in order.
    expected = b"".join(b"Result =" + base64.b64decode(symbol["bytes"]) + b"\n"
                        for path in files for symbol in by_file[path]["symbols"])
    assert program.stdout == expected
    statuses = collections.Counter(record["status"] for record in by_file.values())
    failures = [line for line in program.stderr.splitlines() if b": warning: " not in line]
    assert statuses["decoded"] == program.stdout.count(b"Result =") == len(files) - len(failures)


def test_failures_are_recorded_and_a_restart_skips_what_is_done(tmp_path, scheduler):
    folder = tmp_path / "pictures"
    folder.mkdir()
    messages = {"%d.png" % i: "batch symbol %d" % i for i in range(4)}
    for name, message in messages.items():
        make_symbol(folder / name, message)
    (folder / "truncated.png").write_bytes((folder / "0.png").read_bytes()[:100])
    (folder / "blank.pgm").write_bytes(b"P5 40 30 255\n" + b"\xff" * 1200)
    (folder / "notes.txt").write_text("not a picture name: left out")
    output = tmp_path / "out.jsonl"

    run_batch("--scheduler", scheduler, "--chunk-size", 2, "-o", output, folder, tmp_path / "missing.png")
    first = records(output)
    by_name = {pathlib.Path(record["file"]).name: record for record in first}
    assert sorted(by_name) == sorted([*messages, "truncated.png", "blank.pgm", "missing.png"])
    for name, message in messages.items():
        record = by_name[name]
        assert record["status"] == "decoded" and "error" not in record
        (symbol,) = record["symbols"]
        assert set(symbol) == SYMBOL_FIELDS
        assert symbol["text"] == message and base64.b64decode(symbol["bytes"]) == message.encode()
        assert symbol["verified"] and len(symbol["corners"]) == 4 and symbol["macro"] is None
    assert by_name["truncated.png"]["status"] == "no picture" and by_name["truncated.png"]["error"]
    assert by_name["blank.pgm"]["status"] == "no symbol"
    assert by_name["missing.png"] == {"file": str(tmp_path / "missing.png"), "status": "no picture",
                                      "error": "no such file", "symbols": []}

    # An interrupted run: three whole lines, then half of the fourth.
    lines = output.read_text(encoding="utf-8").splitlines(keepends=True)
    output.write_text("".join(lines[:3]) + lines[3][:10], encoding="utf-8")
    run_batch("--scheduler", scheduler, "--send-data", "-o", output, folder, tmp_path / "missing.png")
    second = records(output)
    assert second[:3] == first[:3]
    assert sorted(second, key=lambda record: record["file"]) == sorted(first, key=lambda record: record["file"])
