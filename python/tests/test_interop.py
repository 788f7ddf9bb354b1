"""scikit-bio and pandas round trips, Python threads running the library at once, and Ctrl-C
stopping a long computation."""

import concurrent.futures
import contextlib
import io
import os
import threading
import time
import traceback

import numpy as np
import pytest

import phylo
from conftest import PRIMATES, PRODUCERS, interrupted, main_thread_only, raised


def test_skbio_round_trip_and_reading_our_output(dm, tmp_path):
    skbio = pytest.importorskip("skbio")
    s = dm.to_skbio()
    assert isinstance(s, skbio.DistanceMatrix) and list(s.ids) == dm.labels
    assert np.array_equal(s.data, dm.values.astype(np.float64))
    assert phylo.DistanceMatrix.from_skbio(s) == dm
    dm.write(tmp_path / "m.lsmat", "tsv")
    back = skbio.DistanceMatrix.read(str(tmp_path / "m.lsmat"))
    assert np.allclose(back.data, s.data, rtol=1e-6) and list(back.ids) == dm.labels
    raised(TypeError, phylo.DistanceMatrix.from_skbio, np.zeros((2, 2)), match="from_skbio")
    # scikit-bio wants symmetry
    raised(Exception, phylo.DistanceMatrix([[0, 1], [2, 0]], ["a", "b"]).to_skbio)


def test_pandas_round_trip():
    pandas = pytest.importorskip("pandas")
    dm, = phylo.read(PRODUCERS / "r_write_csv.csv")
    frame = dm.to_pandas()
    assert list(frame.index) == dm.labels == list(frame.columns)
    assert phylo.DistanceMatrix.from_pandas(frame) == dm
    frame.iloc[0, 1] = 9
    assert dm[0, 1] != 9  # a copy by default
    view = dm.to_pandas(copy=False)
    dm.values[0, 1] = 7
    assert view.iloc[0, 1] == 7
    read_back = pandas.read_csv(io.StringIO(dm.to_string("csv", quiet=True)), index_col=0)
    assert phylo.DistanceMatrix.from_pandas(read_back) == dm
    raised(ValueError, phylo.DistanceMatrix.from_pandas, frame[frame.columns[::-1]], match="columns")


def random_alignment(n, sites, seed=1):
    """n sequences of sites nucleotides: one random sequence, a fifth of its sites redrawn in each."""
    rng = np.random.default_rng(seed)
    codes, root = np.frombuffer(b"ACGT", dtype=np.uint8), rng.integers(0, 4, sites)
    out = []
    for i in range(n):
        s, flip = root.copy(), rng.random(sites) < 0.2
        s[flip] = rng.integers(0, 4, int(flip.sum()))
        out.append(("t%d" % i, codes[s].tobytes()))
    return out


def test_python_threads_read_write_and_compute_at_once():
    paths = [PRIMATES, PRODUCERS / "r_write_csv.csv", PRODUCERS / "mash_triangle.tsv"] * 4
    aln = random_alignment(200, 300)

    def job(path, threads=2):
        text = phylo.read(path, quiet=True)[0].to_bytes("nexus", quiet=True)
        return text, phylo.dist(aln, "k80", threads=threads)

    alone = [job(p, threads=1) for p in paths]  # one after another, on one thread
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(job, paths)) == alone


def test_the_lock_is_released_while_distances_are_computed():
    aln = random_alignment(1200, 4000, seed=2)
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.wait(0.001):
            ticks.append(time.monotonic())

    t = threading.Thread(target=ticker)
    start = time.monotonic()
    t.start()
    phylo.dist(aln, threads=1)
    end = time.monotonic()
    stop.set()
    t.join()
    # Another Python thread ran while the comparison did (it would not while the lock was held).
    assert sum(start < x < end for x in ticks) >= 3 or end - start < 0.01


@main_thread_only
def test_ctrl_c_stops_a_long_computation():
    e, stopped = interrupted(0.5, phylo.dist, random_alignment(3000, 40000, seed=4), "logdet", threads=2)
    # Raised from inside the library's call, not after it returned.
    assert "_phylo._dist_pairs" in traceback.extract_tb(e.__traceback__)[-1].line
    # The whole comparison takes about 4 s of CPU on each of two threads; it stopped within a
    # few tiles of the signal (the packing before it holds the lock, then the first tile ends),
    # with room for a machine busy with other tests.
    assert stopped < 3.5


@main_thread_only
def test_ctrl_c_stops_a_long_read(tmp_path):
    # A matrix of 10,000 taxa that comes slowly through a FIFO: one row every few milliseconds.
    fifo = tmp_path / "matrix"
    os.mkfifo(fifo)
    n = 10000
    done = threading.Event()

    def writer():
        with contextlib.suppress(BrokenPipeError), open(fifo, "wb") as f:
            f.write(b"%d\n" % n)
            row = b" 0" * n + b"\n"
            for i in range(n):
                f.write(b"t%d" % i + row)
                f.flush()
                if done.wait(0.005):  # the test is over
                    return

    feeder = threading.Thread(target=writer)
    feeder.start()
    try:
        _, stopped = interrupted(0.5, phylo.read, fifo, layout="relaxed")
    finally:
        done.set()
        feeder.join()
    assert stopped < 4.5  # 5 s from the start; the whole text would take about a minute to come
