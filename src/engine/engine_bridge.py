"""Bridge between Orvane Studio and the YOLO engine (the `ultralytics` package).

One bridge process serves one loaded model or one job. Requests arrive as JSON lines on stdin;
replies and training events leave as JSON lines on a private descriptor (the original stdout).
File descriptor 1 is pointed at the log stream (stderr) before the engine is imported, so
everything the engine prints or logs, and everything its child processes print, reaches the
workstation's console as one stream and never mixes with the protocol.

A reply is {"ok": true, ...} or {"ok": false, "error": message}. A reply with "binary": n is
followed by n raw bytes (the drawn prediction image). During training, each registered callback
sends {"event": name, "epoch": e, "epochs": t} and waits for {"stop": bool}; the epoch-end event
also carries "metrics": the trainer's values at the epoch's end under the engine's own names
(training losses, validation measures and losses, learning rates), each a plain float, or null for
a value that is not a finite number, and the trainer's own "fitness" and "best_fitness" (which
decide best.pt). The engine's final validation of best.pt, which it reports as one more epoch end,
is not passed on. Asked for "save_start" and "save_end", the bridge sends them (with "save_dir" and
the fitness values) around every write of the checkpoints, and waits for the answer to
"save_start" before the write begins: the workstation never ends the process in the middle of one.

Descriptor 3, when the workstation passes it, is the read end of a pipe whose write end only the
workstation holds. A watcher thread waits on it from the start, before the engine is imported:
when the workstation dies (killed, crashed) the pipe closes, and the bridge ends its own process
group, so nothing the engine started keeps running.
"""

import io
import json
import math
import os
import signal
import stat
import sys
import threading
import traceback

LIFE_FD = 3


def watch_workstation():
    try:
        if not stat.S_ISFIFO(os.fstat(LIFE_FD).st_mode):
            return
    except OSError:
        return  # started by hand: nobody to watch
    os.set_inheritable(LIFE_FD, False)

    def wait_for_end():
        while True:
            try:
                if not os.read(LIFE_FD, 64):
                    break
            except InterruptedError:
                continue
            except OSError:
                break
        # The group is the bridge's own only when the workstation made it so.
        if os.getpgrp() == os.getpid():
            os.killpg(os.getpgrp(), signal.SIGKILL)
        os._exit(1)

    threading.Thread(target=wait_for_end, name="workstation-watch", daemon=True).start()


watch_workstation()

# The protocol channel: a private, non-inheritable copy of the original stdout.
_proto = os.fdopen(os.dup(1), "wb", buffering=0)
os.dup2(2, 1)
sys.stdout = io.TextIOWrapper(io.FileIO(1, "w", closefd=False), encoding="utf-8",
                              errors="replace", write_through=True)
sys.stderr = io.TextIOWrapper(io.FileIO(2, "w", closefd=False), encoding="utf-8",
                              errors="replace", write_through=True)
_requests = sys.stdin.buffer


def send(message, binary=None):
    if binary is not None:
        message["binary"] = len(binary)
    data = json.dumps(message, ensure_ascii=True, default=str).encode("ascii") + b"\n"
    _proto.write(data + binary if binary is not None else data)


def read_request():
    line = _requests.readline()
    if not line:
        raise EOFError
    return json.loads(line)


def plain(value):
    """Tensors, numpy arrays and plain objects alike as nested lists of numbers."""
    if value is None:
        return None
    if hasattr(value, "detach"):
        value = value.detach()
    if hasattr(value, "cpu"):
        value = value.cpu()
    if hasattr(value, "tolist"):
        return value.tolist()
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return value


def metrics_map(metrics):
    if metrics is None:
        return {}
    result = {}
    values = getattr(metrics, "results_dict", None)
    if isinstance(values, dict):
        for key, value in values.items():
            try:
                result[str(key)] = float(value)
            except (TypeError, ValueError):
                pass
    save_dir = getattr(metrics, "save_dir", None)
    if save_dir is not None:
        result["save_dir"] = str(save_dir)
    return result


def number(value):
    """A tensor, numpy or Python scalar as a float (None when not finite); TypeError otherwise."""
    if hasattr(value, "item"):
        value = value.item()
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"not a number: {type(value).__name__}")
    value = float(value)
    return value if math.isfinite(value) else None


def training_losses(trainer):
    """The epoch's mean training losses under the engine's names ("train/box_loss", ...)."""
    tloss = getattr(trainer, "tloss", None)
    if tloss is None:
        return {}
    label = getattr(trainer, "label_loss_items", None)
    if callable(label):
        for call in (lambda: label(tloss, prefix="train"), lambda: label(tloss)):
            try:
                losses = call()
            except TypeError:  # a release whose signature differs
                continue
            if isinstance(losses, dict):
                return losses
            break
    names = list(getattr(trainer, "loss_names", None) or ())
    values = plain(tloss)
    if not isinstance(values, list):
        values = [values]
    return dict(zip(names, values)) if len(names) == len(values) else {}


def epoch_metrics(trainer):
    """What the trainer holds at an epoch's end: training losses, trainer.metrics (validation
    measures and losses) and trainer.lr, as {name: float or None}. A value the engine holds in
    a form not understood is left out; reading never fails."""
    result = {}
    sources = (("losses", lambda: training_losses(trainer)),
               ("metrics", lambda: getattr(trainer, "metrics", None)),
               ("lr", lambda: getattr(trainer, "lr", None)))
    for kind, source in sources:
        try:
            values = source()
        except Exception:
            continue
        if not isinstance(values, dict):
            continue
        for name, value in values.items():
            name = str(name)
            if kind == "losses" and "/" not in name:
                name = "train/" + name
            try:
                result[name] = number(value)
            except Exception:
                pass
    return result


def trainer_fitness(trainer):
    """The trainer's own ranking of its last validated epoch and the best so far (which decides
    best.pt), as {"fitness": f, "best_fitness": b}; a value it does not hold is left out."""
    result = {}
    for name in ("fitness", "best_fitness"):
        try:
            value = number(getattr(trainer, name))
        except Exception:
            continue
        if value is not None:
            result[name] = value
    return result


def cuda_available():
    try:
        import torch
        return bool(torch.cuda.is_available())
    except Exception:
        return False


class Bridge:
    def __init__(self):
        self.model = None
        self.yolo = None

    def engine(self):
        if self.yolo is None:
            from ultralytics import YOLO
            self.yolo = YOLO
        return self.yolo

    def describe(self):
        names = getattr(self.model, "names", {}) or {}
        if isinstance(names, (list, tuple)):
            names = dict(enumerate(names))
        return {"names": {str(int(k)): str(v) for k, v in names.items()},
                "task": str(getattr(self.model, "task", "") or "")}

    def op_probe(self, request):
        try:
            self.engine()
        except Exception as error:  # any import failure means: no engine
            print(f"engine import failed: {error}", file=sys.stderr)
            return {"has_yolo": False, "cuda": False}
        return {"has_yolo": True, "cuda": cuda_available()}

    def op_load(self, request):
        self.model = self.engine()(request["path"])
        return self.describe()

    def op_predict(self, request):
        args = {"conf": request.get("conf", 0.25), "verbose": False}
        if request.get("imgsz") is not None:
            args["imgsz"] = request["imgsz"]
        results = self.model.predict(request["source"], **args)
        r = results[0]
        boxes = []
        if r.boxes is not None:
            for cls, conf, xyxy in zip(plain(r.boxes.cls), plain(r.boxes.conf),
                                       plain(r.boxes.xyxy)):
                boxes.append({"cls": int(cls), "conf": float(conf),
                              "xyxy": [float(v) for v in xyxy]})
        masks = None
        if getattr(r, "masks", None) is not None:
            masks = [[[float(p[0]), float(p[1])] for p in plain(outline)] for outline in r.masks.xy]
        image = r.plot()
        shape = [int(n) for n in image.shape]
        if len(shape) == 2:
            shape.append(1)
        return {"boxes": boxes, "masks": masks, "plot": shape}, image.tobytes()

    def op_train(self, request):
        wanted = set(request.get("callbacks", []))
        reported = set()
        final = [False]  # inside the trainer's final validation of best.pt
        hooked = set()  # ids of the trainers whose steps are wrapped

        def ask(message, trainer):
            send(message)
            if read_request().get("stop"):
                trainer.stop = True

        def report(event, trainer, **extra):
            message = {"event": event, "epoch": int(trainer.epoch),
                       "epochs": int(trainer.epochs)}
            message.update(extra)
            ask(message, trainer)

        def save_event(event, trainer):
            save_dir = getattr(trainer, "save_dir", None)
            extra = trainer_fitness(trainer)
            if save_dir is not None:
                extra["save_dir"] = str(save_dir)
            report(event, trainer, **extra)

        def wrap(owner, name, before, after):
            original = getattr(owner, name, None)
            if not callable(original) or getattr(original, "_orvane_wrapped", False):
                return

            def wrapper(*args, **kwargs):
                before()
                try:
                    return original(*args, **kwargs)
                finally:
                    after()
            wrapper._orvane_wrapped = True
            setattr(owner, name, wrapper)

        def prepare(trainer):
            """Wraps the trainer's steps the workstation must know about: its final validation
            (which reports itself as one more epoch end) and, when asked for, every write of
            its checkpoints (save_model, and strip_optimizer rewriting them after training),
            announced by "save_start" and "save_end"."""
            if id(trainer) in hooked:
                return
            hooked.add(id(trainer))
            wrap(trainer, "final_eval", lambda: final.__setitem__(0, True),
                 lambda: final.__setitem__(0, False))
            if "save_start" not in wanted:
                return
            begin = lambda: save_event("save_start", trainer)  # noqa: E731
            end = lambda: save_event("save_end", trainer)  # noqa: E731
            wrap(trainer, "save_model", begin, end)
            for cls in type(trainer).__mro__:
                module = sys.modules.get(getattr(cls, "__module__", ""))
                if module is not None:
                    wrap(module, "strip_optimizer", begin, end)

        def hook(event):
            def callback(trainer):
                prepare(trainer)
                if event == "on_fit_epoch_end":
                    epoch, epochs = int(trainer.epoch), int(trainer.epochs)
                    # The final validation of best.pt is no epoch. Where it cannot be told by
                    # what it is, by its number: the last epoch's again, or `epochs`.
                    if final[0] or epoch in reported or epoch >= epochs:
                        return
                    reported.add(epoch)
                    report(event, trainer, metrics=epoch_metrics(trainer),
                           **trainer_fitness(trainer))
                else:
                    report(event, trainer)
            return callback

        self.model.add_callback("on_pretrain_routine_start", prepare)
        for event in wanted - {"save_start", "save_end"}:
            self.model.add_callback(event, hook(event))
        metrics = self.model.train(**request["args"])
        trainer = getattr(self.model, "trainer", None)
        save_dir = getattr(trainer, "save_dir", None) or getattr(metrics, "save_dir", None)
        return {"save_dir": str(save_dir) if save_dir is not None else "",
                "metrics": metrics_map(metrics)}

    def op_val(self, request):
        return {"metrics": metrics_map(self.model.val(**request["args"]))}

    def op_tune(self, request):
        self.model.tune(**request["args"])
        return {}

    def op_export(self, request):
        return {"path": str(self.model.export(format=request["format"]))}

    def op_cuda(self, request):
        return {"cuda": cuda_available()}

    def serve(self):
        while True:
            try:
                request = read_request()
            except EOFError:
                return
            handler = getattr(self, "op_" + str(request.get("op")), None)
            binary = None
            try:
                if handler is None:
                    raise ValueError(f"unknown request {request.get('op')!r}")
                reply = handler(request)
                if isinstance(reply, tuple):
                    reply, binary = reply
                reply["ok"] = True
            except EOFError:
                return
            except BaseException as error:  # the engine may raise anything, SystemExit included
                traceback.print_exc()
                sys.stderr.flush()
                message = str(error) or type(error).__name__
                reply, binary = {"ok": False, "error": message}, None
            sys.stdout.flush()
            send(reply, binary)


if __name__ == "__main__":
    Bridge().serve()
