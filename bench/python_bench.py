#!/usr/bin/env python3
"""The Python module against what Python users have, side by side in one run:

  - phylo.read of the 5000-taxon matrix, tab-separated with 17 digits (make_matrix 5000 s),
    into a numpy array, against skbio.DistanceMatrix.read, pandas.read_csv and numpy.loadtxt
    (goal: 10 times faster than the fastest of them);
  - phylo.dist of 1000 sequences of 10,000 sites (make_alignment 1000 10000) against a
    vectorised numpy p-distance (goal: 100 times faster);
  - phylo.tree (NJ) of 2000 taxa (the JC69 distances of make_tree_alignment 2000 1000) against
    skbio.tree.nj on the same matrix (goal: 100 times faster);
  - the cost of calling from Python: phylo.read + write and phylo.dist + write against
    phylo convert and phylo dist on the same files (goal: at most 5% more).

usage: python_bench.py -t TOOLS_DIR -p PHYLO [-d SCRATCH] [-n TAXA] [-r ROUNDS] [--skip-slow]
  TOOLS_DIR holds make_matrix, make_alignment and make_tree_alignment (the bench preset: build/bench/bench); PHYLO is
  the phylo command; the built module must be importable (PYTHONPATH=BUILD/python).
Times are wall clock and CPU (user + system of this process and its threads), the least of each
over ROUNDS runs (a slow tool runs once); the command and the Python calls take turns.
"""

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time


def best(rounds, work):
    """(wall, cpu): the least of each over `rounds` runs of work()."""
    walls, cpus = [], []
    for _ in range(rounds):
        t0, c0 = time.perf_counter(), time.process_time()
        work()
        walls.append(time.perf_counter() - t0)
        cpus.append(time.process_time() - c0)
    return min(walls), min(cpus)


def command(rounds, args):
    """(wall, cpu): the least of each over `rounds` runs of a command (its CPU from its rusage)."""
    walls, cpus = [], []
    for _ in range(rounds):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
        walls.append(time.perf_counter() - t0)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime))
    return min(walls), min(cpus)


def show(name, t, against=None):
    extra = ""
    if against:
        extra = "   %.1fx faster" % (against[0] / t[0]) if t[0] < against[0] else "   %.2fx" % (t[0] / against[0])
    print("  %-44s wall %8.3f s   cpu %8.3f s%s" % (name, t[0], t[1], extra), flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("-t", "--tools", required=True)
    ap.add_argument("-p", "--phylo", required=True)
    ap.add_argument("-d", "--scratch", default=None)
    ap.add_argument("-n", "--taxa", type=int, default=5000)
    ap.add_argument("-r", "--rounds", type=int, default=3)
    ap.add_argument("--skip-slow", action="store_true", help="leave out skbio, pandas, numpy.loadtxt and numpy p")
    a = ap.parse_args()
    import numpy
    import phylo

    scratch = a.scratch or tempfile.mkdtemp(prefix="phylo-pybench.")
    os.makedirs(scratch, exist_ok=True)
    tsv = os.path.join(scratch, "m%d.s.tsv" % a.taxa)
    if not os.path.exists(tsv):
        with open(tsv, "wb") as f:
            subprocess.run([os.path.join(a.tools, "make_matrix"), str(a.taxa), "s"], stdout=f, check=True)
    fasta = os.path.join(scratch, "aln1000x10000.fa")
    if not os.path.exists(fasta):
        with open(fasta, "wb") as f:
            subprocess.run([os.path.join(a.tools, "make_alignment"), "1000", "10000"], stdout=f, check=True)
    out = os.path.join(scratch, "out")
    print("phylo %s, numpy %s, Python %s; %d processors" % (phylo.__version__, numpy.__version__,
                                                           sys.version.split()[0], phylo.available_cpus()))

    print("Reading %s (%d MB) into a numpy array:" % (os.path.basename(tsv), os.path.getsize(tsv) >> 20))
    ours = best(a.rounds, lambda: phylo.read(tsv, layout="tsv")[0].values)
    show("phylo.read", ours)
    if not a.skip_slow:
        others = {}
        try:
            import skbio

            others["skbio.DistanceMatrix.read"] = best(1, lambda: skbio.DistanceMatrix.read(tsv).data)
        except ImportError:
            print("  (no scikit-bio)")
        try:
            import pandas

            others["pandas.read_csv"] = best(1, lambda: pandas.read_csv(tsv, sep="\t", index_col=0).to_numpy())
        except ImportError:
            print("  (no pandas)")
        cols = range(1, a.taxa + 1)
        others["numpy.loadtxt"] = best(1, lambda: numpy.loadtxt(tsv, skiprows=1, usecols=cols, delimiter="\t",
                                                                 dtype=numpy.float32))
        for name, t in others.items():
            show(name, t)
        fastest = min(others.values())
        print("  phylo.read is %.1fx faster than the fastest of them (goal 10x)" % (fastest[0] / ours[0]))

    print("Distances of 1000 x 10,000 sites, p, gaps pairwise:")
    d = best(a.rounds, lambda: phylo.dist(fasta))
    show("phylo.dist", d)
    if not a.skip_slow:
        def numpy_p():
            pairs = phylo_pairs(fasta)
            x = numpy.frombuffer(b"".join(s.upper() for _, s in pairs), dtype=numpy.uint8).reshape(len(pairs), -1)
            base = numpy.isin(x, numpy.frombuffer(b"ACGT", dtype=numpy.uint8))
            p = numpy.zeros((len(pairs), len(pairs)), dtype=numpy.float32)
            for i in range(len(pairs)):
                both = base & base[i]
                diff = ((x != x[i]) & both).sum(axis=1)
                p[i] = diff / both.sum(axis=1)
            return p

        t = best(1, numpy_p)
        show("numpy, vectorised over rows", t)
        print("  phylo.dist is %.0fx faster (goal 100x)" % (t[0] / d[0]))

    print("NJ trees of 2000 taxa:")
    tree_aln = os.path.join(scratch, "tree2000x1000.fa")
    if not os.path.exists(tree_aln):
        with open(tree_aln, "wb") as f:
            subprocess.run([os.path.join(a.tools, "make_tree_alignment"), "2000", "1000"], stdout=f, check=True)
    tree_dm = phylo.dist(tree_aln, "jc69")
    t_ours = best(a.rounds, lambda: phylo.tree(tree_dm))
    show("phylo.tree", t_ours)
    if not a.skip_slow:
        try:
            import skbio
            from skbio.tree import nj

            sk = tree_dm.to_skbio()
            t_sk = best(1, lambda: nj(sk))
            show("skbio.tree.nj", t_sk)
            print("  phylo.tree is %.0fx faster (goal 100x)" % (t_sk[0] / t_ours[0]))
        except ImportError:
            print("  (no scikit-bio)")

    print("Calling from Python against the command on the same work:")
    overhead(a.rounds + 2, "phylo convert --from=tsv FILE -o OUT", [a.phylo, "convert", "--from=tsv", "-q", tsv, "-o", out],
             "phylo.read(FILE)[0].write(OUT)",
             lambda: phylo.read(tsv, layout="tsv", quiet=True)[0].write(out, quiet=True))
    overhead(a.rounds + 2, "phylo dist FASTA -o OUT", [a.phylo, "dist", "-q", fasta, "-o", out],
             "phylo.dist(FASTA).write(OUT)", lambda: phylo.dist(fasta).write(out, quiet=True))


def overhead(rounds, command_name, args, python_name, work):
    """The command and the Python calls in turns, round by round, so that both see the same load."""
    c, py = [], []
    for _ in range(rounds):
        c.append(command(1, args))
        py.append(best(1, work))
    c = (min(t[0] for t in c), min(t[1] for t in c))
    py = (min(t[0] for t in py), min(t[1] for t in py))
    show(command_name, c)
    show(python_name, py, c)
    print("  Python costs %+.1f%% wall, %+.1f%% CPU (goal at most 5%%)" % (100 * (py[0] / c[0] - 1),
                                                                       100 * (py[1] / c[1] - 1)))


def phylo_pairs(path):
    pairs = []
    with open(path, "rb") as f:
        for line in f:
            line = line.strip()
            if line.startswith(b">"):
                pairs.append([line[1:], b""])
            elif line:
                pairs[-1][1] += line
    return pairs


if __name__ == "__main__":
    main()
