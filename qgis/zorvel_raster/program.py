"""Finding the zorvel_raster program and running it as QGIS's Processing
expects: its progress on the feedback's bar, a cancel that stops it (its
outputs are undone, as for any SIGTERM), its stop line as the error."""
import os
import re
import shutil
import subprocess
import threading

from qgis.core import QgsProcessingException

SETTING = "ZORVEL_RASTER_PROGRAM"
NAME = "zorvel_raster.exe" if os.name == "nt" else "zorvel_raster"
HERE = os.path.dirname(os.path.abspath(__file__))


def setting():
    """The program the provider's setting names, or ''."""
    try:
        from processing.core.ProcessingConfig import ProcessingConfig

        return ProcessingConfig.getSetting(SETTING) or ""
    except ImportError:  # pragma: no cover
        return ""


def find():
    """The program's path: the setting's, else beside the plugin (in it, or
    the bin folder of the prefix it is installed under), else on PATH."""
    named = setting()
    if named:
        if os.path.isfile(named) and os.access(named, os.X_OK):
            return named
        raise QgsProcessingException(
            f"the zorvel_raster program set in Processing's options is not there or cannot be run: {named}")
    beside = [os.path.join(HERE, NAME),
              os.path.normpath(os.path.join(HERE, "..", "..", "..", "..", "bin", NAME))]
    for path in beside:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    found = shutil.which(NAME)
    if found:
        return found
    raise QgsProcessingException(
        "the zorvel_raster program is not found: install it (it must be on PATH), or set its path in "
        "Processing's options (Providers > zorvel_raster)")


# "0...10...20": a dot every 2.5 %, a number every 10 %
BAR = re.compile(r"(\d+)(\.*)$")


def run(arguments, feedback):
    """Runs the program with the arguments; raises QgsProcessingException with
    its stop line when it stops, and when the feedback is cancelled (after it
    is stopped). Its warnings go to the feedback, its progress to the
    feedback's bar (from this thread: the feedback's signals stay on it)."""
    command = [find()] + arguments
    feedback.pushCommandInfo(" ".join(command))
    lines, out, progress = [], [], [None]

    def read_errors(stream):
        line = b""
        while True:
            c = stream.read(1)
            if not c:
                break
            if c == b"\n":
                lines.append(line.decode("utf-8", "replace"))
                line = b""
                continue
            line += c
            bar = BAR.search(line.decode("ascii", "replace"))
            if bar and line[:1].isdigit():
                progress[0] = min(100.0, int(bar.group(1)) + 2.5 * len(bar.group(2)))
        if line:
            lines.append(line.decode("utf-8", "replace"))

    with subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE) as process:
        readers = [threading.Thread(target=read_errors, args=(process.stderr,), daemon=True),
                   threading.Thread(target=lambda: out.append(process.stdout.read()), daemon=True)]
        for reader in readers:
            reader.start()
        shown = None
        while True:
            finished = process.poll() is not None
            if progress[0] is not None and progress[0] != shown:
                shown = progress[0]
                feedback.setProgress(shown)
            if finished:
                break
            if feedback.isCanceled():
                process.terminate()
                break
            readers[0].join(0.05)
        status = process.wait()
        for reader in readers:
            reader.join()
    if progress[0] is not None and progress[0] != shown:
        feedback.setProgress(progress[0])
    if out and out[0]:
        feedback.pushConsoleInfo(out[0].decode("utf-8", "replace"))
    said = [line for line in lines if line.startswith("zorvel_raster: ")]
    for line in said[:-1] if status != 0 else said:
        feedback.pushWarning(line)
    if feedback.isCanceled():
        raise QgsProcessingException("cancelled: zorvel_raster was stopped, and left no output")
    if status != 0:
        raise QgsProcessingException(said[-1] if said else f"zorvel_raster stopped with status {status}")
