"""Builds the native module with the project's own CMake build (nothing is downloaded) and
ships the library beside it, where the module's RPATH ($ORIGIN) finds it."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE_TREE = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(SOURCE_TREE), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DCORVANE_BUILD_TESTS=OFF", "-DCORVANE_BUILD_TOOLS=OFF",
            "-DCORVANE_BUILD_BENCHMARKS=OFF", "-DCORVANE_BUILD_PYTHON=ON",
        ]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                          "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.check_call(configure)
        jobs = os.environ.get("JOBS", str(os.cpu_count() or 2))
        subprocess.check_call(["cmake", "--build", str(build_dir), "--target", "corvane_python",
                               "-j", jobs])

        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(build_dir / "python" / "corvane" / target.name, target)
        # The library under its soname (libcorvane_camera_controller.so.N), as the module
        # asks for it.
        for library in (build_dir / "lib").glob("libcorvane_camera_controller.so.*"):
            if re.fullmatch(r"libcorvane_camera_controller\.so\.\d+", library.name):
                shutil.copy2(library.resolve(), target.parent / library.name)


setup(ext_modules=[Extension("corvane._corvane", sources=[])], cmdclass={"build_ext": CMakeBuild})
