#!/usr/bin/env python3
"""python3-requests' HTTP Digest: POSTs a GetDeviceInformation, prints the body and `status N`.
usage: digest.py URL USER PASSWORD"""
import sys

import requests
from requests.auth import HTTPDigestAuth

url, user, password = sys.argv[1:4]
envelope = ('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>'
            '<GetDeviceInformation xmlns="http://www.onvif.org/ver10/device/wsdl"/></s:Body></s:Envelope>')
answer = requests.post(url, data=envelope, auth=HTTPDigestAuth(user, password), timeout=10,
                       headers={'Content-Type': 'application/soap+xml'})
print(f'{answer.text}\nstatus {answer.status_code}')
