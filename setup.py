"""pip install --no-build-isolation . : builds the Python module phylo with the project's CMake
build (the extension target phylo_python alone, for the running interpreter) and installs the
package. Needs CMake, a C++20 compiler, zlib, pybind11 and numpy (Debian packages cmake, g++,
zlib1g-dev, pybind11-dev, python3-pybind11, python3-numpy); downloads nothing. In a virtual
environment, create it with --system-site-packages so that Debian's numpy and pybind11 serve."""

import glob
import os
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def project_version():
    """The version of the CMake project, which names every part of it."""
    import re

    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(phylo VERSION ([0-9.]+)", f.read()).group(1)


class cmake_build_ext(build_ext):
    def build_extension(self, ext):
        build = os.path.join(os.path.abspath(self.build_temp), "cmake")
        configure = ["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DPHYLO_BUILD_TESTS=OFF",
                     "-DPHYLO_BUILD_FUZZERS=OFF", "-DPHYLO_BUILD_PYTHON=ON", "-DPython_EXECUTABLE=" + sys.executable]
        subprocess.check_call(configure)
        jobs = os.environ.get("PHYLO_BUILD_JOBS", "2")
        subprocess.check_call(["cmake", "--build", build, "--target", "phylo_python", "-j", jobs])
        suffix = sysconfig.get_config_var("EXT_SUFFIX") or ".so"
        built = glob.glob(os.path.join(build, "python", "phylo", "_phylo" + suffix))
        if not built:
            sys.exit("the build made no phylo._phylo: see the CMake output above for what is missing")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    version=project_version(),
    packages=["phylo"],
    package_dir={"": "python"},
    package_data={"phylo": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("phylo._phylo", sources=[])],
    cmdclass={"build_ext": cmake_build_ext},
    zip_safe=False,
)
