"""The throughput benchmark of kovi-rzk-batch against peer tools."""
