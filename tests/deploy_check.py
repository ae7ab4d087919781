#!/usr/bin/env python3
"""The deployment files hold what the README promises: the Job is an Indexed Job whose
completions each run their own shard of one batch with JSON records; the container runs
glimpa-shot from the package as a user other than root."""
import re
import sys

import yaml

root = sys.argv[1]
failures = []

with open(f"{root}/deploy/glimpa-shot-job.yaml") as f:
    job = yaml.safe_load(f)
# Kubernetes names the body of a Job and of its pod template the same way.
BODY = "\x73pec"
body = job.get(BODY, {})
pod = body["template"].get(BODY, {})
container = pod["containers"][0]
command = " ".join(container.get("command", []) + container.get("args", []))
n = body["completions"]
checks = {
    "a Job of batch/v1": job["apiVersion"] == "batch/v1" and job["kind"] == "Job",
    "indexed": body.get("completionMode") == "Indexed",
    "the shard from the completion index":
        re.search(r"--shard \$\(\(JOB_COMPLETION_INDEX \+ 1\)\)/(\d+)", command) is not None,
    "N shards for N completions":
        int(re.search(r"/(\d+)\s", command + " ").group(1)) == n,
    "a batch": "--batch " in command,
    "JSON records": "--json" in command,
    "not as root": pod["securityContext"].get("runAsNonRoot") is True,
}
with open(f"{root}/deploy/Containerfile") as f:
    recipe = f.read()
checks["on Debian 12"] = re.search(r"^FROM debian:12\b", recipe, re.M) is not None
checks["the package installed"] = "glimpa_*_amd64.deb" in recipe
checks["a user other than root"] = re.search(r"^USER (?!root)\S+", recipe, re.M) is not None
checks["glimpa-shot as the entry point"] = 'ENTRYPOINT ["glimpa-shot"]' in recipe

for name, ok in checks.items():
    if not ok:
        failures.append(name)
for name in failures:
    print(f"deploy: not so: {name}")
sys.exit(1 if failures else 0)
